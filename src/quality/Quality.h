#pragma once
// Readings judged: a value no weather gives is marked, never changed. The
// one rule set of the chart, the overview, the daily summaries and the
// export. A marked reading is left out of means, extremes and totals, and
// drawn and exported with its mark.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/History.h"

namespace vantoril::quality {

using chart::HourIndex;

// The marks of an hour, one bit per rule.
enum Mark : unsigned {
  kTemperatureRange = 1,     // temperature outside kLowestTemperature…kHighestTemperature
  kHumidityRange = 2,        // humidity outside 0…100 %
  kPrecipitationRange = 4,   // precipitation below 0 or above kMostPrecipitation in an hour
  kTemperatureJump = 8,      // temperature more than kLargestJump from the hour before
};
inline constexpr unsigned kTemperatureMarks = kTemperatureRange | kTemperatureJump;

inline constexpr double kLowestTemperature = -60, kHighestTemperature = 60;
inline constexpr double kLowestHumidity = 0, kHighestHumidity = 100;
inline constexpr double kMostPrecipitation = 300;
inline constexpr double kLargestJump = 15;

// What each rule says of a reading, in the order of the bits.
inline constexpr std::string_view kRuleTexts[] = {"气温超出 -60…60 °C", "湿度超出 0…100 %",
                                                  "降水量小于 0 或大于 300 mm", "气温比上一小时变化超过 15 °C"};

// Judges the hours of a place in time order (ascending, each once). The
// temperature of the hour before counts when that hour is recorded and its
// temperature a number not marked itself: after one wild reading, the next
// one back to normal is not marked too.
class Judge {
 public:
  // NaN: no number.
  unsigned marks(HourIndex hour, double temperature, double precipitation, double humidity);

 private:
  HourIndex lastHour_ = 0;
  double lastTemperature_ = 0;
  bool haveLast_ = false;
};

// The marks of each of `hours` (ascending, each once), in their order.
std::vector<std::uint8_t> marksOf(const std::vector<chart::HourValues>& hours);

// "可疑：<rule>；<rule>" naming every rule of `marks`; empty for none.
std::string markText(unsigned marks);

// A value's text as the reader takes it: a number for a plain decimal
// number, NaN for anything else.
double numberOf(std::u16string_view text);

// ---- The days summed up --------------------------------------------------

// A day with fewer recorded hours gets no mean and no total.
inline constexpr int kFullDay = 20;

struct Day {
  HourIndex day = 0;  // days since 1970-01-01 on the observation clock
  int hours = 0;      // hours recorded (a record holds the row)
  int marked = 0;     // hours with a marked reading
  // Of the readings not marked; NaN where there is none (or, for the mean
  // and the totals, where the day has fewer than kFullDay hours).
  double highest = 0, lowest = 0;
  HourIndex highestHour = 0, lowestHour = 0;  // the first hour of each
  double meanTemperature = 0, precipitation = 0, meanHumidity = 0;
};

// The days of `hours`, ascending; `marks` as marksOf gives them.
std::vector<Day> daysOf(const std::vector<chart::HourValues>& hours, const std::vector<std::uint8_t>& marks);

// A reading as the summaries write it: the shortest text ("23", "-0.5");
// a mean or total to one decimal ("12.3"); empty for NaN.
std::string readingText(double v);
std::string oneDecimal(double v);

}  // namespace vantoril::quality
