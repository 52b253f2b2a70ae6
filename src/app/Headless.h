#pragma once
// The recording run without a window: start-up, one run, one line per place.
#include <chrono>
#include <functional>
#include <string>

#include "platform/Services.h"

namespace vantoril {
namespace notify {
class Notifier;
}

// Exit codes of a run without a window: 0 when every place was recorded
// (a record kept in its pending file counts: it is not lost), 1 when a
// place was not, or the start-up failed; and
inline constexpr int kExitGaveUp = 3;  // another run went on for kLongestWait
inline constexpr std::chrono::minutes kLongestWait{30};

// Takes `lock`, waiting while another run holds it, trying every `poll`,
// for at most `limit`: true when taken. `waiting` is called once, when the
// first try finds the lock held.
bool waitForRunLock(RunLock& lock, std::chrono::milliseconds limit, std::chrono::milliseconds poll,
                    const std::function<void()>& waiting);

// Returns the process exit code. With a notifier (a run the schedule
// started), a run that needs the person ends with one notification.
int recordHeadless(const std::string& programFolder, notify::Notifier* notifier = nullptr);

}  // namespace vantoril
