#include "overview/Overview.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <cstdio>

#include "chart/ChartPage.h"
#include "export/Coverage.h"
#include "export/Export.h"
#include "notify/RunNews.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "quality/Quality.h"
#include "datafile/DataFile.h"
#include "datafile/FolderNames.h"
#include "runlog/RunLog.h"

namespace vantoril::overview {

using chart::HourIndex;

namespace {

// Some 90 records of 370 bytes: the strip's 30 days at two runs a day, in one read.
constexpr unsigned long long kFirstTail = 32 * 1024;

HourIndex dayOf(HourIndex hour) { return hour >= 0 ? hour / 24 : (hour - 23) / 24; }

// "12月7日 14时", with the year when it is not `year`.
std::string personHour(HourIndex hour, int year) {
  const chart::CivilHour c = chart::civilHour(hour);
  return (c.year != year ? std::to_string(c.year) + "年" : "") + std::to_string(c.month) + "月" +
         std::to_string(c.day) + "日 " + std::to_string(c.hour) + "时";
}

// "2026-12-07 14:50:01" as "12月7日 14:50".
std::string personLogTime(std::string_view time) {
  const auto digit = [&](std::size_t at) { return time[at] >= '0' && time[at] <= '9'; };
  if (time.size() < 16 || !digit(5) || !digit(6) || !digit(8) || !digit(9)) return std::string(time);
  const auto n = [&](std::size_t at) { return std::to_string((time[at] - '0') * 10 + (time[at + 1] - '0')); };
  return n(5) + "月" + n(8) + "日 " + std::string(time.substr(11, 5));
}

std::string cellText(double v) { return v != v ? "—" : quality::readingText(v); }

}  // namespace

std::string overviewPath(const std::string& programFolder) {
  return datafile::folder(programFolder) + pathSeparator() + fileNameBytes(u"一览.html");
}

std::unordered_map<std::string, LogState> logStates(std::string_view log) {
  std::unordered_map<std::string, LogState> states;
  for (std::size_t start = 0; start < log.size();) {
    std::size_t end = log.find('\n', start);
    if (end == std::string_view::npos) end = log.size();
    std::string_view line = log.substr(start, end - start);
    start = end + 1;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    // A place line has three fields; summary lines have more.
    if (tab2 == std::string_view::npos || line.find('\t', tab2 + 1) != std::string_view::npos) continue;
    const std::string_view place = line.substr(tab1 + 1, tab2 - tab1 - 1);
    std::string_view what = line.substr(tab2 + 1);
    if (what.ends_with('\r')) what.remove_suffix(1);
    if (place == runlog::kNoticeMark || place == runlog::kOverviewMark || place == runlog::kEndedMark) continue;
    LogState& s = states[std::string(place)];
    if (what.starts_with("错误：") || what.starts_with("跳过：")) {
      if (!s.failing) s.failingSince = std::string(line.substr(0, tab1));
      s.failing = true;
      s.cause = std::string(what);
    } else {
      s.failing = false;
      s.stale = what.find("（过时：") != std::string_view::npos;
    }
  }
  return states;
}

chart::History recentHistory(const std::string& programFolder, std::u16string_view place, HourIndex since,
                             const datafile::FolderNames& names) {
  const std::string data = datafile::path(programFolder, place), pendingFile = datafile::pendingPath(programFolder, place);
  const std::string pending = names.mayHold(pendingFile) ? readFileIfExists(pendingFile).value_or("") : "";
  if (!names.mayHold(data) || !fileExists(data)) return chart::readHistoryBytes(pending);
  const unsigned long long size = fileSize(data);
  for (unsigned long long tail = kFirstTail;; tail *= 4) {
    const unsigned long long from = size > tail ? size - tail : 0;
    std::string bytes = readFileFrom(data, from);
    // A line break is never part of a GBK character: the records start whole after the first one.
    if (from > 0) bytes.erase(0, std::min(bytes.size(), bytes.find('\n') + 1));
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') bytes += "\r\n";
    bytes += pending;
    chart::History h = chart::readHistoryBytes(bytes);
    if (from == 0 || (!h.hours.empty() && h.hours.front().hour <= since)) return h;
  }
}

std::string overviewText(const std::string& programFolder, const std::vector<std::u16string>& places,
                         std::string_view log, std::chrono::system_clock::time_point now) {
  const HourIndex hourNow = notify::siteHourAt(now);
  const HourIndex today = dayOf(hourNow), firstDay = today - (kStripDays - 1);
  const int year = chart::civilHour(hourNow).year;
  const std::unordered_map<std::string, LogState> states = logStates(log);
  const auto dayLabel = [](HourIndex day) {
    const chart::CivilHour c = chart::civilHour(day * 24);
    return std::to_string(c.month) + "月" + std::to_string(c.day) + "日";
  };
  std::string page =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"zh-CN\">\n<head>\n"
      "<meta charset=\"utf-8\"/>\n<title>一览</title>\n<style>body { font-family: sans-serif; margin: 16px; }"
      " table { border-collapse: collapse; } td, th { border: 1px solid #ccc; padding: 3px 8px; white-space: nowrap; }"
      " td.n { text-align: right; } .failing { color: #c00; font-weight: bold; } .stale { color: #b60; }"
      " .none { color: #888; } svg { display: block; }</style>\n</head>\n<body>\n<h1>一览</h1>\n<p>写于 " +
      personHour(hourNow, 0) + "（北京时间）；" + std::to_string(places.size()) + " 个地名。";
  if (fileExists(comparePath(programFolder)))
    page += " <a href=\"" + chart::relativeAddress(toUtf8(u"比较图表.html")) + "\">比较图表</a>";
  page += "</p>\n<table>\n<tr><th>地名</th><th>最新记录</th><th>状态</th><th>近 " + std::to_string(kStripDays) +
          " 天（" + dayLabel(firstDay) + "—" + dayLabel(today) +
          "）</th><th>昨天 最高/最低 (°C)</th><th>今天 最高/最低 (°C)</th><th>可疑读数</th></tr>\n";
  // The data folder's names, listed once rather than each file looked for.
  datafile::FolderNames names(datafile::folder(programFolder));
  names.listNow();
  for (const std::u16string& place : places) {
    const std::string name = chart::escapedText(place);
    chart::History history;
    std::string failure;
    try {
      history = recentHistory(programFolder, place, firstDay * 24 - 1, names);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    const std::vector<std::uint8_t> marks = quality::marksOf(history.hours);
    const std::vector<quality::Day> days = quality::daysOf(history.hours, marks);
    std::array<int, kStripDays> hours{};
    int marked = 0;
    const quality::Day* dayBefore = nullptr;
    const quality::Day* dayNow = nullptr;
    for (const quality::Day& d : days) {
      if (d.day < firstDay || d.day > today) continue;
      hours[static_cast<std::size_t>(d.day - firstDay)] = d.hours;
      marked += d.marked;
      if (d.day == today - 1) dayBefore = &d;
      if (d.day == today) dayNow = &d;
    }
    page += "<tr><td>";
    const std::string chartPage = chart::pagePath(programFolder, place);
    if (names.mayHold(chartPage) && fileExists(chartPage))
      page += "<a href=\"" + chart::relativeAddress(toUtf8(place) + "-WeatherData.html") + "\">" + name + "</a>";
    else
      page += name;
    page += "</td><td>" + (history.hours.empty() ? std::string("—") : personHour(history.hours.back().hour, year)) +
            "</td><td>";
    const auto state = states.find(toUtf8(place));
    const bool failing = state != states.end() && state->second.failing;
    const auto failingSince = [&] {
      return "<span class=\"failing\" title=\"" + chart::escapedText(fromUtf8(state->second.cause)) + "\">自 " +
             personLogTime(state->second.failingSince) + " 起失败</span>";
    };
    if (!failure.empty()) {
      page += "<span class=\"failing\">无法读取：" + chart::escapedText(fromUtf8(failure)) + "</span>";
    } else if (history.hours.empty()) {
      page += "<span class=\"none\">还没有记录</span>" + (failing ? "；" + failingSince() : std::string());
    } else if (failing) {
      page += failingSince();
    } else if ((state != states.end() && state->second.stale) ||
               hourNow - history.hours.back().hour > notify::kStaleAfter.count()) {
      page += "<span class=\"stale\">页面过时</span>";
    } else {
      page += "已记录";
    }
    const HourIndex lastToday = history.hours.empty() ? hourNow : std::min(hourNow, history.hours.back().hour);
    page += "</td><td><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kStripDays * 10) +
            "\" height=\"16\">";
    for (int k = 0; k < kStripDays; ++k) {
      const int n = hours[static_cast<std::size_t>(k)];
      // Today counts the hours up to the place's newest record.
      const int expected = k == kStripDays - 1 ? static_cast<int>(lastToday - today * 24) + 1 : 24;
      const char* kind = n == 0 ? "empty" : n < expected ? "gap" : "full";
      char opacity[16];
      std::snprintf(opacity, sizeof opacity, "%.2f", n == 0 ? 1.0 : 0.3 + 0.7 * std::min(n, 24) / 24.0);
      page += std::string("<rect class=\"") + kind + "\" x=\"" + std::to_string(k * 10) +
              "\" y=\"1\" width=\"9\" height=\"14\" fill=\"" +
              (n == 0 ? "#e8e8e8" : n < expected ? "#e6862e" : "#2ca02c") + "\" fill-opacity=\"" + opacity +
              "\"><title>" + dayLabel(firstDay + k) + "：记录 " + std::to_string(n) + " 小时</title></rect>";
    }
    page += "</svg></td>";
    for (const quality::Day* d : {dayBefore, dayNow})
      page += "<td class=\"n\">" + (d ? cellText(d->highest) + " / " + cellText(d->lowest) : std::string("—")) + "</td>";
    page += "<td class=\"n\">" + std::to_string(marked) + "</td></tr>\n";
  }
  page += "</table>\n<p>色条每格一天：绿色记录齐全，橙色有缺口，灰色没有记录；颜色越深记录的小时越多。"
          "可疑读数（超出合理范围或一小时内变化过大）不计入最高和最低。</p>\n</body>\n</html>\n";
  return page;
}

std::string writeOverview(const std::string& programFolder, std::chrono::system_clock::time_point now) {
  const std::vector<std::u16string> places = exporting::listedPlaces(programFolder);
  const std::optional<std::string> log = readFileIfExists(runlog::logPath(programFolder));
  const std::string path = overviewPath(programFolder);
  ensureFolder(datafile::folder(programFolder));
  replaceFile(path, overviewText(programFolder, places, log ? *log : std::string(), now));
  return path;
}

}  // namespace vantoril::overview
