#pragma once
// Recording on a schedule: the times of day at which the system starts
// `vantoril --record` for the current user, and what the system says about
// that schedule. The scheduler (a systemd user timer or the crontab on
// Linux, the Task Scheduler on Windows) is handed in.
#include <compare>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoril::schedule {

// The arguments of a run the schedule starts: a recording run that tells
// its person, by a notification, when a place was not recorded.
inline constexpr std::string_view kScheduledArguments = "--record --notify";

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  auto operator<=>(const TimeOfDay&) const = default;
};

// The times as the user writes them: whole hours ("8", "20") or hh:mm
// ("08:00", "8:30"), separated by commas (also "，" and "、"), semicolons
// or spaces. At least one; the result is sorted, duplicates dropped.
// Throws Failure with a message saying which entry is wrong and why.
std::vector<TimeOfDay> parseTimes(std::string_view text);
// "08:00"
std::string timeText(TimeOfDay time);
// "08:00,20:00": what parseTimes reads back.
std::string timesText(const std::vector<TimeOfDay>& times);

inline const std::vector<TimeOfDay> kDefaultTimes{{8, 0}, {20, 0}};

// The schedule as the system tells it.
struct ScheduleState {
  bool on = false;
  std::string how;                // the system service that runs it, e.g. "systemd 用户定时器"
  std::vector<TimeOfDay> times;   // sorted
  std::string nextRun;            // local time as the system gives it; empty when it does not say
  std::string note;               // what the user should know about this way of running
  // What keeps the schedule from running (no cron daemon, a disabled task,
  // a program moved since); empty when nothing the system tells does.
  std::string warning;
  // Whether the runs go on after the user logs out, where the user can
  // choose it (a systemd user timer: the manager's linger); none elsewhere.
  std::optional<bool> keepsRunning;
};

// The current user's schedule in the system. Each call throws Failure,
// naming the system service and its cause, when the system refuses.
class Scheduler {
 public:
  virtual ~Scheduler() = default;
  virtual ScheduleState state() = 0;
  // Makes the schedule run at exactly `times` (not empty), replacing any earlier one.
  virtual void turnOn(const std::vector<TimeOfDay>& times) = 0;
  // Removes what turnOn made; nothing to remove is no failure.
  virtual void turnOff() = 0;
  // Lets the runs go on after logout, or not, where state() offers it.
  virtual void keepRunningAfterLogout(bool keep);
};

// The scheduler of the platform the program is built for, running
// `programFile --record` (Scheduler_linux.cpp, Scheduler_win32.cpp).
std::unique_ptr<Scheduler> makeScheduler(const std::string& programFile);

// The summary of the last recording run, one line; empty when there was none.
std::string lastRunSummary(const std::string& programFolder);

inline constexpr std::string_view kNoRunYet = "还没有记录过";

// An automation date (days since 1899-12-30, the fraction the time of day;
// the Task Scheduler gives the next run so) as "2026-12-07 08:00", to the
// minute; empty for none (0 or less) or past 9999.
std::string automationDateText(double date);

// The first of `times` (sorted, not empty) after `now` (local time), as
// "2026-12-08 08:00": the next run of a scheduler that does not tell it.
std::string nextRunText(const std::vector<TimeOfDay>& times, const std::tm& now);

// The state in lines for a person: on or off and how, the times, the next
// run, the warning, whether it runs after logout, the last run (`lastRun`,
// or kNoRunYet when empty), the note.
std::string stateText(const ScheduleState& state, const std::string& lastRun);

}  // namespace vantoril::schedule
