#include "quality/Quality.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vantoril::quality {

namespace {
constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
}

unsigned Judge::marks(HourIndex hour, double t, double p, double h) {
  unsigned m = 0;
  if (t < kLowestTemperature || t > kHighestTemperature) m |= kTemperatureRange;
  else if (haveLast_ && lastHour_ == hour - 1 && std::fabs(t - lastTemperature_) > kLargestJump) m |= kTemperatureJump;
  if (h < kLowestHumidity || h > kHighestHumidity) m |= kHumidityRange;
  if (p < 0 || p > kMostPrecipitation) m |= kPrecipitationRange;
  haveLast_ = !std::isnan(t) && (m & kTemperatureMarks) == 0;
  lastHour_ = hour;
  lastTemperature_ = t;
  return m;
}

std::vector<std::uint8_t> marksOf(const std::vector<chart::HourValues>& hours) {
  std::vector<std::uint8_t> marks;
  marks.reserve(hours.size());
  Judge judge;
  for (const chart::HourValues& h : hours)
    marks.push_back(static_cast<std::uint8_t>(judge.marks(h.hour, h.temperature, h.precipitation, h.humidity)));
  return marks;
}

std::string markText(unsigned marks) {
  if (marks == 0) return {};
  std::string text = "可疑：";
  bool first = true;
  for (std::size_t k = 0; k < std::size(kRuleTexts); ++k) {
    if (!(marks & (1u << k))) continue;
    if (!first) text += "；";
    text += kRuleTexts[k];
    first = false;
  }
  return text;
}

double numberOf(std::u16string_view text) {
  if (text.empty() || text.size() > 32 || !chart::plainNumber(text)) return kNone;
  std::array<char, 32> ascii{};
  std::transform(text.begin(), text.end(), ascii.begin(), [](char16_t c) { return static_cast<char>(c); });
  double v = kNone;
  std::from_chars(ascii.data(), ascii.data() + text.size(), v);
  return v;
}

std::vector<Day> daysOf(const std::vector<chart::HourValues>& hours, const std::vector<std::uint8_t>& marks) {
  std::vector<Day> days;
  double temperatureSum = 0, rainSum = 0, humiditySum = 0;
  int temperatures = 0, rains = 0, humidities = 0;
  const auto close = [&] {
    Day& d = days.back();
    const bool full = d.hours >= kFullDay;
    d.meanTemperature = full && temperatures > 0 ? temperatureSum / temperatures : kNone;
    d.precipitation = full && rains > 0 ? rainSum : kNone;
    d.meanHumidity = full && humidities > 0 ? humiditySum / humidities : kNone;
  };
  for (std::size_t i = 0; i < hours.size(); ++i) {
    const chart::HourValues& h = hours[i];
    const unsigned m = marks[i];
    const HourIndex day = h.hour >= 0 ? h.hour / 24 : (h.hour - 23) / 24;
    if (days.empty() || days.back().day != day) {
      if (!days.empty()) close();
      days.push_back({day, 0, 0, kNone, kNone, 0, 0, kNone, kNone, kNone});
      temperatureSum = rainSum = humiditySum = 0;
      temperatures = rains = humidities = 0;
    }
    Day& d = days.back();
    ++d.hours;
    if (m) ++d.marked;
    if (!std::isnan(h.temperature) && !(m & kTemperatureMarks)) {
      if (std::isnan(d.highest) || h.temperature > d.highest) d.highest = h.temperature, d.highestHour = h.hour;
      if (std::isnan(d.lowest) || h.temperature < d.lowest) d.lowest = h.temperature, d.lowestHour = h.hour;
      temperatureSum += h.temperature;
      ++temperatures;
    }
    if (!std::isnan(h.precipitation) && !(m & kPrecipitationRange)) rainSum += h.precipitation, ++rains;
    if (!std::isnan(h.humidity) && !(m & kHumidityRange)) humiditySum += h.humidity, ++humidities;
  }
  if (!days.empty()) close();
  return days;
}

std::string readingText(double v) {
  if (std::isnan(v)) return {};
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string oneDecimal(double v) {
  if (std::isnan(v)) return {};
  char buf[48];
  // As printf's "%.1f", which to_chars writes alike, only faster.
  const auto r = std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::fixed, 1);
  if (r.ec == std::errc()) *r.ptr = '\0';
  else std::snprintf(buf, sizeof buf, "%.1f", v);
  return std::string_view(buf) == "-0.0" ? "0.0" : buf;
}

}  // namespace vantoril::quality
