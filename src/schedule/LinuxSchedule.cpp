#include "schedule/LinuxSchedule.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::schedule {

namespace {

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  while (!text.empty()) {
    const auto end = text.find('\n');
    result.push_back(text.substr(0, end == std::string_view::npos ? text.size() : end + 1));
    text.remove_prefix(result.back().size());
  }
  return result;
}

std::string_view withoutNewline(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

bool isOurs(std::string_view line) { return withoutNewline(line).ends_with(kCronMarker); }

// "8,20" of a crontab's hour field.
std::vector<int> numbers(std::string_view field) {
  std::vector<int> result;
  int n = -1;
  for (char c : field) {
    if (c >= '0' && c <= '9') {
      n = (n < 0 ? 0 : n * 10) + (c - '0');
      if (n > 59) return {};
    } else if (c == ',' && n >= 0) {
      result.push_back(n);
      n = -1;
    } else {
      return {};
    }
  }
  if (n >= 0) result.push_back(n);
  return result;
}

// systemd takes a program path with no quote, backslash or control character.
bool safeForSystemd(const std::string& path) {
  return std::none_of(path.begin(), path.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f || c == '"' || c == '\\' || c == '\'';
  });
}

// `text` in double quotes with '\\' and '"' escaped, '%' doubled, and '$'
// doubled unless it is the program's path (where systemd expands nothing).
std::string systemdWord(const std::string& text, bool program) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    if (c == '%' || (c == '$' && !program)) quoted += c;
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string systemdCommand(const std::string& path) {
  if (toUtf8(fromUtf8(path)) != path) throw Failure("程序路径不是 UTF-8，systemd 定时器无法运行它：" + path);
  for (char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) throw Failure("程序路径含控制字符，systemd 定时器无法运行它：" + path);
  }
  const std::string arguments(kScheduledArguments);
  if (safeForSystemd(path)) return systemdWord(path, true) + " " + arguments;
  // A path systemd refuses as a program is handed to the shell as an argument.
  return "/bin/sh -c " + systemdWord("exec \"$0\" " + arguments, false) + " " + systemdWord(path, false);
}

std::string serviceUnitText(const std::string& programFile) {
  const std::string command = systemdCommand(programFile);
  // A removed program (its package removed) makes the timer skip the run,
  // which then neither fails nor says anything, until the program is back.
  std::string condition;
  for (char c : programFile) condition += c == '%' ? std::string("%%") : std::string(1, c);
  return "[Unit]\n"
         "Description=Vantoril: record the weather of every place once\n"
         "ConditionFileIsExecutable=" +
         condition +
         "\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "ExecStart=" +
         command + "\n";
}

std::string timerUnitText(const std::vector<TimeOfDay>& times) {
  std::string text =
      "[Unit]\n"
      "Description=Vantoril: record the weather at set times of day\n"
      "\n"
      "[Timer]\n";
  for (const TimeOfDay& t : times) text += "OnCalendar=*-*-* " + timeText(t) + ":00\n";
  // A run missed while the machine was off happens at the next start; the
  // small delay keeps many machines from asking the site at the same second.
  text +=
      "Persistent=true\n"
      "RandomizedDelaySec=120\n"
      "Unit=" +
      std::string(kServiceUnit) +
      "\n"
      "\n"
      "[Install]\n"
      "WantedBy=timers.target\n";
  return text;
}

std::vector<TimeOfDay> timerUnitTimes(std::string_view unitText) {
  static constexpr std::string_view prefix = "OnCalendar=*-*-* ";
  std::vector<TimeOfDay> times;
  for (std::string_view line : lines(unitText)) {
    line = withoutNewline(line);
    if (!line.starts_with(prefix)) continue;
    line.remove_prefix(prefix.size());
    if (line.size() != 8 || line[2] != ':' || line.substr(5) != ":00") continue;
    const auto hm = numbers(std::string(line.substr(0, 2)) + "," + std::string(line.substr(3, 2)));
    if (hm.size() == 2 && hm[0] < 24) times.push_back({hm[0], hm[1]});
  }
  std::sort(times.begin(), times.end());
  return times;
}

std::string cronDaemon(const std::string& procFolder) {
  // The names the cron daemons of Linux distributions run under (cron,
  // cronie's and busybox's crond, fcron, dcron's crond).
  static constexpr std::string_view names[] = {"cron", "crond", "fcron"};
  for (const FolderEntry& entry : listFolder(procFolder)) {
    if (!entry.isFolder || entry.name.empty() ||
        !std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    std::optional<std::string> comm;
    try {
      comm = readFileIfExists(procFolder + "/" + entry.name + "/comm");
    } catch (const Failure&) {
      continue;  // a process that ended meanwhile, or one not ours to read
    }
    if (!comm) continue;
    const std::string_view name = withoutNewline(*comm);
    if (std::find(std::begin(names), std::end(names), name) != std::end(names))
      return std::string(name) + "（进程 " + entry.name + "）";
  }
  return {};
}

std::string cronQuoted(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) {
    if (c == '\n' || c == '\r') throw Failure("程序路径含换行，无法写入 crontab：" + path);
    if (c == '\'') quoted += "'\\''";
    else if (c == '%') quoted += "\\%";  // cron turns a bare '%' into a new line
    else quoted += c;
  }
  return quoted + "'";
}

std::string crontabWithout(std::string_view crontab) {
  std::string kept;
  for (std::string_view line : lines(crontab))
    if (!isOurs(line)) kept += line;
  return kept;
}

std::string crontabWith(std::string_view crontab, const std::string& programFile,
                        const std::vector<TimeOfDay>& times) {
  std::string text = crontabWithout(crontab);
  if (!text.empty() && text.back() != '\n') text += '\n';
  // A removed program (its package removed) is not started: the line does
  // nothing, ends with 0 and prints nothing (no mail), until it is back.
  const std::string program = cronQuoted(programFile);
  const std::string command = "test ! -x " + program + " || " + program + " " + std::string(kScheduledArguments);
  std::map<int, std::string> hoursAtMinute;
  for (const TimeOfDay& t : times) {
    std::string& hours = hoursAtMinute[t.minute];
    if (!hours.empty()) hours += ',';
    hours += std::to_string(t.hour);
  }
  for (const auto& [minute, hours] : hoursAtMinute)
    text += std::to_string(minute) + ' ' + hours + " * * * " + command + std::string(kCronMarker) + '\n';
  return text;
}

std::vector<TimeOfDay> crontabTimes(std::string_view crontab) {
  std::vector<TimeOfDay> times;
  for (std::string_view line : lines(crontab)) {
    if (!isOurs(line)) continue;
    const auto space = line.find(' ');
    const auto space2 = line.find(' ', space + 1);
    if (space == std::string_view::npos || space2 == std::string_view::npos) continue;
    const auto minute = numbers(line.substr(0, space));
    if (minute.size() != 1) continue;
    for (int hour : numbers(line.substr(space + 1, space2 - space - 1)))
      if (hour < 24) times.push_back({hour, minute[0]});
  }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  return times;
}

}  // namespace vantoril::schedule
