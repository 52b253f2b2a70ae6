#pragma once
// The dialog "定时记录…" as a model both windows drive: on or off, the
// times of day, and the state read back from the system.
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "schedule/Schedule.h"

namespace vantoril::schedule {

inline constexpr std::string_view kDialogTitle = "定时记录";
inline constexpr std::string_view kOnCaption = "每天定时记录";
inline constexpr std::string_view kTimesCaption = "时间（整点或 时:分，用逗号分开）：";
inline constexpr std::string_view kKeepRunningCaption = "退出登录后也定时记录（loginctl enable-linger）";

class ScheduleDialogModel {
 public:
  // `lastRun` gives the summary of the last recording run (empty for none).
  ScheduleDialogModel(Scheduler& scheduler, std::function<std::string()> lastRun);
  // The dialog of the program in `programFolder` over the system's scheduler,
  // its state read already. Throws the Failure of a system that offers none.
  static std::unique_ptr<ScheduleDialogModel> open(const std::string& programFolder);

  // Reads the state back from the system. A system that refuses leaves
  // the box off with the default times, and its message in the state text.
  void refresh();

  bool on() const { return on_; }
  const std::string& timesText() const { return timesText_; }
  const std::string& stateText() const { return stateText_; }
  // What keeps the schedule from running, as the state says it; empty for nothing.
  const std::string& warning() const { return warning_; }
  // Whether the dialog offers "退出登录后也定时记录", and its state.
  bool keepRunningOffered() const { return keepsRunning_.has_value(); }
  bool keepsRunning() const { return keepsRunning_.value_or(false); }

  // OK with the user's choice: the empty text when the system took it (and
  // the state is read again), else the message to show; the dialog stays.
  // `keepRunning`, where offered: the choice of running after logout,
  // handed to the system when it differs from the state.
  std::string apply(bool on, const std::string& timesText, std::optional<bool> keepRunning = std::nullopt);

 private:
  std::unique_ptr<Scheduler> owned_;  // the scheduler, when open() made it
  Scheduler& scheduler_;
  std::function<std::string()> lastRun_;
  bool on_ = false;
  std::string timesText_;
  std::string stateText_;
  std::string warning_;
  std::optional<bool> keepsRunning_;
};

// `vantoril --schedule [TIMES|off]`: `value` empty prints the state, "off"
// turns the schedule off, anything else is the times to record at. Prints
// the state after the change, and on `err` what keeps it from running;
// returns the exit code.
int scheduleCommand(Scheduler& scheduler, const std::string& lastRun, const std::string& value, std::ostream& out,
                    std::ostream& err);
// The same over the real scheduler, for the program in `programFolder`.
int runScheduleMode(const std::string& programFolder, const std::string& value);

}  // namespace vantoril::schedule
