#pragma once
// The texts the Linux scheduler writes: the systemd user units, and the
// marked line of the user's crontab where no user manager answers. Pure
// text, so the rules are checked without a system; and the look for a
// running cron daemon, in a folder laid out as /proc.
#include <string>
#include <string_view>
#include <vector>

#include "schedule/Schedule.h"

namespace vantoril::schedule {

inline constexpr std::string_view kServiceUnit = "vantoril-record.service";
inline constexpr std::string_view kTimerUnit = "vantoril-record.timer";

// The command line of ExecStart= that runs `path --record`: the path in
// double quotes with '\\', '"' and '%' escaped, or, for a path systemd takes
// as no program (quotes, backslashes), given to /bin/sh as an argument.
// Throws Failure for a path systemd cannot hold at all (not UTF-8, or with
// control characters).
std::string systemdCommand(const std::string& path);
// The service that records once, and the timer that starts it at `times`.
std::string serviceUnitText(const std::string& programFile);
std::string timerUnitText(const std::vector<TimeOfDay>& times);
// The times of a timer unit's OnCalendar= lines as timerUnitText writes them.
std::vector<TimeOfDay> timerUnitTimes(std::string_view unitText);

// Ends each line of ours in the crontab.
inline constexpr std::string_view kCronMarker = " # vantoril-schedule";

// `path` for the shell (single quotes) with cron's '%' escaped.
std::string cronQuoted(const std::string& path);
// The crontab without our lines, every other line kept byte for byte.
std::string crontabWithout(std::string_view crontab);
// The crontab without our old lines and with the lines for `times` at its
// end: one line per minute of the hour, naming every hour at that minute.
std::string crontabWith(std::string_view crontab, const std::string& programFile,
                        const std::vector<TimeOfDay>& times);
// The times of our lines, sorted; empty when there is none.
std::vector<TimeOfDay> crontabTimes(std::string_view crontab);

// A running cron daemon among the processes of `procFolder` (/proc): its
// name and process id, "cron（进程 812）"; empty when there is none.
std::string cronDaemon(const std::string& procFolder);
// What the state says when no cron daemon runs.
inline constexpr std::string_view kCronNotRunning = "cron 没有运行，定时记录不会发生：";

}  // namespace vantoril::schedule
