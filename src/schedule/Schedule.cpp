#include "schedule/Schedule.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/Failure.h"

namespace vantoril::schedule {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Splits at the separators people type between times, ASCII or full-width.
std::vector<std::string> entries(std::string_view text) {
  static constexpr std::string_view wideSeparators[] = {"，", "、", "；", "\u3000"};
  std::vector<std::string> result;
  std::string current;
  auto endEntry = [&] {
    if (!current.empty()) result.push_back(std::move(current));
    current.clear();
  };
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      endEntry();
      ++i;
      continue;
    }
    bool separated = false;
    for (std::string_view s : wideSeparators) {
      if (text.substr(i, s.size()) == s) {
        endEntry();
        i += s.size();
        separated = true;
        break;
      }
    }
    if (separated) continue;
    if (text.substr(i, 3) == "：") {  // a full-width colon reads as ':'
      current += ':';
      i += 3;
      continue;
    }
    current += c;
    ++i;
  }
  endEntry();
  return result;
}

int number(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = n * 10 + (c - '0');
  return n;
}

TimeOfDay parseTime(const std::string& entry) {
  const std::string quoted = "“" + entry + "”不是时间：";
  const auto colon = entry.find(':');
  const std::string_view hours = std::string_view(entry).substr(0, colon);
  const std::string_view minutes =
      colon == std::string::npos ? std::string_view() : std::string_view(entry).substr(colon + 1);
  const bool wellFormed = !hours.empty() && hours.size() <= 2 && std::all_of(hours.begin(), hours.end(), isDigit) &&
                          (colon == std::string::npos ||
                           (minutes.size() == 2 && std::all_of(minutes.begin(), minutes.end(), isDigit)));
  if (!wellFormed) throw Failure(quoted + "请写整点（如 8）或 时:分（如 08:30）");
  const TimeOfDay time{number(hours), colon == std::string::npos ? 0 : number(minutes)};
  if (time.hour > 23) throw Failure(quoted + "小时应在 0 到 23 之间");
  if (time.minute > 59) throw Failure(quoted + "分钟应在 0 到 59 之间");
  return time;
}

}  // namespace

std::vector<TimeOfDay> parseTimes(std::string_view text) {
  std::vector<TimeOfDay> times;
  for (const std::string& entry : entries(text)) times.push_back(parseTime(entry));
  if (times.empty()) throw Failure("请至少写一个时间，例如 08:00,20:00");
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  return times;
}

std::string timeText(TimeOfDay time) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", time.hour % 100, time.minute % 100);
  return text;
}

std::string timesText(const std::vector<TimeOfDay>& times) {
  std::string text;
  for (const TimeOfDay& t : times) {
    if (!text.empty()) text += ',';
    text += timeText(t);
  }
  return text;
}

std::string automationDateText(double date) {
  if (!(date > 0) || date >= 2958466) return {};
  using namespace std::chrono;
  const long long seconds = std::llround(date * 86400.0);
  const year_month_day day{sys_days{year{1899} / December / 30} + days{seconds / 86400}};
  const long long inDay = seconds % 86400;
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02lld:%02lld", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()), inDay / 3600, inDay / 60 % 60);
  return text;
}

void Scheduler::keepRunningAfterLogout(bool) { throw Failure("这个系统的定时记录没有“退出登录后也运行”的选择"); }

std::string nextRunText(const std::vector<TimeOfDay>& times, const std::tm& now) {
  if (times.empty()) return {};
  using namespace std::chrono;
  const TimeOfDay current{now.tm_hour, now.tm_min};
  const auto later = std::upper_bound(times.begin(), times.end(), current);
  const TimeOfDay next = later == times.end() ? times.front() : *later;
  const year_month_day today{year{now.tm_year + 1900}, month{static_cast<unsigned>(now.tm_mon + 1)},
                             day{static_cast<unsigned>(now.tm_mday)}};
  const year_month_day day{sys_days{today} + days{later == times.end() ? 1 : 0}};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %s", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()), timeText(next).c_str());
  return text;
}

std::string stateText(const ScheduleState& state, const std::string& lastRun) {
  std::string text = "定时记录：";
  text += state.on ? "开" : "关";
  if (state.on && !state.how.empty()) text += "（" + state.how + "）";
  text += '\n';
  if (!state.warning.empty()) text += state.warning + '\n';
  if (state.on) {
    text += "时间：" + timesText(state.times) + '\n';
    text += "下次运行：" + (state.nextRun.empty() ? std::string("系统未告知") : state.nextRun) + '\n';
    if (state.keepsRunning)
      text += *state.keepsRunning ? "退出登录后：照常运行（linger 已开启）\n" : "退出登录后：不运行（linger 未开启）\n";
  }
  text += "上次运行：" + (lastRun.empty() ? std::string(kNoRunYet) : lastRun) + '\n';
  if (!state.note.empty()) text += state.note + '\n';
  return text;
}

}  // namespace vantoril::schedule
