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
// How long a process may outlive its run (its notification is shown in less).
inline constexpr std::chrono::minutes kLongestEnd{1};

// Takes `lock`, waiting while another run holds it, trying every `poll`,
// for at most `limit`: true when taken. `waiting` is called once, when the
// first try finds the lock held.
bool waitForRunLock(RunLock& lock, std::chrono::milliseconds limit, std::chrono::milliseconds poll,
                    const std::function<void()>& waiting);

// Ends the process with `exitCode` `limit` from now, should it still be
// there, saying so in the run log of `programFolder`: a run that is over
// never holds its schedule, whatever its threads or the system still wait for.
void endAfter(const std::string& programFolder, int exitCode, std::chrono::milliseconds limit);

// Returns the process exit code. With a notifier (a run the schedule
// started), a run that needs the person ends with one notification. `over`
// is called with the exit code once the run is over and its lock released,
// before the notification.
int recordHeadless(const std::string& programFolder, notify::Notifier* notifier = nullptr,
                   const std::function<void(int exitCode)>& over = {});

}  // namespace vantoril
