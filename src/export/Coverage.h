#pragma once
// What a place's record holds and what it misses: the hours no record of its
// data file (or pending file) holds, between the first hour and the last.
// An hour a record holds counts as recorded even when its readings are empty.
#include <cstddef>
#include <string>
#include <vector>

#include "chart/History.h"

namespace vantoril::exporting {

using chart::HourIndex;

// A run of hours no record holds.
struct Gap {
  HourIndex start = 0;
  HourIndex hours = 0;
};

// Calls `gap(Gap)` for each run of missing hours between the hours of
// `hours` (ascending, each once, each with a member `hour`), in time order.
template <class Hours, class OnGap>
void forEachGap(const Hours& hours, OnGap&& gap) {
  bool first = true;
  HourIndex previous = 0;
  for (const auto& h : hours) {
    if (!first && h.hour > previous + 1) gap(Gap{previous + 1, h.hour - previous - 1});
    first = false;
    previous = h.hour;
  }
}

inline constexpr std::size_t kLongestGaps = 3;

struct Coverage {
  long long recorded = 0;  // hours recorded; none: no other figure holds
  HourIndex first = 0, last = 0;
  long long missing = 0;    // hours missing between first and last
  std::vector<Gap> longest;  // at most kLongestGaps, longest first; of equal ones the earlier
};

template <class Hours>
Coverage coverageOf(const Hours& hours) {
  Coverage c;
  for (const auto& h : hours) {
    if (c.recorded++ == 0) c.first = h.hour;
    c.last = h.hour;
  }
  forEachGap(hours, [&c](const Gap& g) {
    c.missing += g.hours;
    std::size_t at = c.longest.size();
    while (at > 0 && c.longest[at - 1].hours < g.hours) --at;
    if (at < kLongestGaps) c.longest.insert(c.longest.begin() + static_cast<std::ptrdiff_t>(at), g);
    if (c.longest.size() > kLongestGaps) c.longest.pop_back();
  });
  return c;
}

// One line, the same on the command line and the chart page:
// "2026-11-01 00时 至 2026-12-07 14时：记录 850 小时，缺 38 小时（4.3%）；
// 最长的缺口：2026-11-20 03时起 26 小时、…" (or "没有缺口").
std::string coverageText(const Coverage& coverage);

}  // namespace vantoril::exporting
