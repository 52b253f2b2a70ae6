#pragma once
// Every place at a glance: "WeatherData/一览.html", one row per place of the
// list in its order: the place (a link to its chart page, where that is
// written), its newest recorded hour, its state, a strip of its last
// kStripDays days, yesterday's and today's extremes and its marked readings
// of those days. Written at the end of every recording run and by
// --overview. Only the end of each data file is read (the records of the
// strip's days), one place at a time.
#include <chrono>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "chart/History.h"

namespace vantoril::overview {

inline constexpr int kStripDays = 30;

std::string overviewPath(const std::string& programFolder);

// What the run log says of a place: its last run's outcome.
struct LogState {
  bool failing = false;      // its latest line is an error or a skip
  std::string failingSince;  // the time of the first of the failures since its last record
  std::string cause;         // what its latest failure says
  bool stale = false;        // its latest record came from a page that stopped updating
};
// The state of every place the log names, by the place's name (UTF-8).
std::unordered_map<std::string, LogState> logStates(std::string_view log);

// The hours of `place` from `since` on, and those before them that the same
// reads hold: the end of its data file (as much as holds an hour before
// `since`, the whole file at most) and its pending file. Empty when neither
// file exists; Failure when one cannot be read.
chart::History recentHistory(const std::string& programFolder, std::u16string_view place, chart::HourIndex since);

// The page of `places` as of `now`; `log` is the run log's text.
std::string overviewText(const std::string& programFolder, const std::vector<std::u16string>& places,
                         std::string_view log, std::chrono::system_clock::time_point now);

// Writes the page of the places of the list in one piece; returns its path.
std::string writeOverview(const std::string& programFolder, std::chrono::system_clock::time_point now);

// The page comparing places: "WeatherData/比较图表.html".
std::string comparePath(const std::string& programFolder);
// Their temperatures on one time axis, a colour per place, humidity below,
// the gaps of each shaded in its colour. A place without a record is named
// on the page. Writes it in one piece and returns its path; Failure when no
// place has a record.
std::string writeComparePage(const std::string& programFolder, const std::vector<std::u16string>& places);

}  // namespace vantoril::overview
