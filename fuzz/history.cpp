// Fuzz target: the chart's reading of a data file (its lines as given). The input is read twice:
//  - as a data file of its own (any bytes, as GBK lines): nothing may crash,
//    and what comes back must hang together;
//  - as the recipe of a data file built here from records, well-formed or
//    broken in the ways a file can be, whose reading is known beforehand:
//    the records counted, broken records and rows skipped and counted, empty
//    values gaps, other non-numbers gaps and counted, and each hour from the
//    latest record that holds it (of two equal times, the one further down).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Check.h"
#include "chart/History.h"
#include "export/Export.h"
#include "platform/Cp936.h"
#include "platform/Text.h"

namespace {

using namespace vantoril;
using chart::HourIndex;

constexpr std::u16string_view kTimeLabel = u"数据记录时间:";
constexpr std::u16string_view kColumns = u"整点\t气温\t降水\t湿度";
constexpr int kRows = 25;

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// "yyyyMMddHH" of an hour, by the standard calendar.
std::u16string hourText(HourIndex hour) {
  using namespace std::chrono;
  const HourIndex days = hour >= 0 ? hour / 24 : (hour - 23) / 24;
  const year_month_day date{sys_days{std::chrono::days{days}}};
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(hour - days * 24));
  return fromUtf8(text);
}

struct Value {
  std::u16string text;
  double number;   // NaN for a gap
  bool counted;    // a non-number, counted
};

Value valueOf(FuzzedDataProvider& in) {
  constexpr double gap = std::numeric_limits<double>::quiet_NaN();
  switch (in.ConsumeIntegralInRange(0, 9)) {
    case 0: return {u"", gap, false};
    case 1: return {u"-3.5", -3.5, false};
    case 2: return {u"0.0", 0.0, false};
    case 3: return {u"1.", gap, true};
    case 4: return {u".5", gap, true};
    case 5: return {u"1e3", gap, true};
    case 6: return {u" 7", gap, true};
    case 7: return {u"--1", gap, true};
    case 8: return {u"无", gap, true};
    default: {
      const int n = in.ConsumeIntegralInRange(-999, 9999);
      return {fromUtf8(std::to_string(n)), static_cast<double>(n), false};
    }
  }
}

struct Expected {
  struct Hour {
    HourIndex observation;
    double temperature, precipitation, humidity;
  };
  std::map<HourIndex, Hour> hours;
  int records = 0, skippedLines = 0, nonNumbers = 0;
  HourIndex lastObservation = 0;
};

// One record (or something that looks like one) appended to `lines`, and
// what reading it must give.
void addRecord(FuzzedDataProvider& in, HourIndex base, std::vector<std::u16string>& lines, Expected& expected) {
  enum Shape { kGood, kRows24, kRows26, kBadTime, kBadColumns };
  const Shape shape = static_cast<Shape>(in.ConsumeIntegralInRange(0, 7) % 5 == 0 ? in.ConsumeIntegralInRange(1, 4) : 0);
  const HourIndex observation = base + in.ConsumeIntegralInRange(0, 60);
  const int rows = shape == kRows24 ? kRows - 1 : shape == kRows26 ? kRows + 1 : kRows;
  std::u16string time = hourText(observation);
  if (shape == kBadTime) {
    const std::u16string bad[] = {time.substr(0, 9), time + u"0", time.substr(0, 4) + u"13" + time.substr(6),
                                  time.substr(0, 6) + u"32" + time.substr(8), time.substr(0, 8) + u"24", u"x" + time.substr(1)};
    time = bad[in.ConsumeIntegralInRange<std::size_t>(0, std::size(bad) - 1)];
  }
  lines.push_back(std::u16string(kTimeLabel) + time);
  lines.push_back(shape == kBadColumns ? u"整点\t气温\t降水" : std::u16string(kColumns));
  std::vector<std::pair<HourIndex, Expected::Hour>> held;
  int nonNumbers = 0, badRows = 0;
  for (int r = 0; r < rows; ++r) {
    const HourIndex hour = observation - (kRows - 1) + r;
    const std::u16string hourField = hourText(hour).substr(8);
    switch (in.ConsumeIntegralInRange(0, 15)) {
      case 0:  // three fields
        lines.push_back(hourField + u"\t1\t2");
        ++badRows;
        continue;
      case 1:  // five fields
        lines.push_back(hourField + u"\t1\t2\t3\t4");
        ++badRows;
        continue;
      default: break;
    }
    const Value t = valueOf(in), p = valueOf(in), h = valueOf(in);
    lines.push_back(hourField + u'\t' + t.text + u'\t' + p.text + u'\t' + h.text);
    nonNumbers += t.counted + p.counted + h.counted;
    held.push_back({hour, {observation, t.number, p.number, h.number}});
  }
  for (int blank = in.ConsumeIntegralInRange(0, 2); blank > 0; --blank) lines.emplace_back();
  if (shape != kGood) {
    expected.skippedLines += 2 + rows;
    return;
  }
  ++expected.records;
  expected.skippedLines += badRows;
  expected.nonNumbers += nonNumbers;
  if (expected.records == 1 || observation > expected.lastObservation) expected.lastObservation = observation;
  // Further down wins over an equal time, so only an earlier time keeps its hour.
  for (const auto& [hour, values] : held) {
    const auto found = expected.hours.find(hour);
    if (found == expected.hours.end() || found->second.observation <= observation) expected.hours[hour] = values;
  }
}

void checkBuilt(FuzzedDataProvider& in) {
  std::vector<std::u16string> lines;
  Expected expected;
  if (in.ConsumeBool()) lines.emplace_back(u"天气数据文件");
  // Lines before the first record are not part of any record.
  for (int junk = in.ConsumeIntegralInRange(0, 2); junk > 0; --junk) {
    lines.push_back(in.ConsumeBool() ? u"整点\t气温\t降水\t湿度" : u"12\t3\t4\t5");
    ++expected.skippedLines;
  }
  // Observation hours around the turn of a leap February.
  const HourIndex base =
      chart::HourIndex{std::chrono::sys_days{std::chrono::year{2024} / 2 / 27}.time_since_epoch().count()} * 24 +
      in.ConsumeIntegralInRange(-48, 48);
  for (int r = in.ConsumeIntegralInRange(0, 12); r > 0 && in.remaining_bytes() > 0; --r) addRecord(in, base, lines, expected);

  // The lines as given, and as the GBK bytes of a file read without decoding them.
  std::u16string text;
  for (const auto& line : lines) text += line + u"\r\n";
  for (const chart::History& history : {chart::readHistory(lines), chart::readHistoryBytes(cp936::encode(text))}) {
    CHECK(history.records == expected.records);
    CHECK(history.skippedLines == expected.skippedLines);
    CHECK(history.nonNumbers == expected.nonNumbers);
    CHECK(history.lastObservation == expected.lastObservation);
    CHECK(history.hours.size() == expected.hours.size());
    auto want = expected.hours.begin();
    for (const chart::HourValues& got : history.hours) {
      if (want == expected.hours.end()) break;
      CHECK(got.hour == want->first);
      CHECK(same(got.temperature, want->second.temperature));
      CHECK(same(got.precipitation, want->second.precipitation));
      CHECK(same(got.humidity, want->second.humidity));
      ++want;
    }
  }
}

// The export's reading of the same lines: the chart's hours, each value the
// text the chart read it from, and no cell of the table a formula.
void checkTexts(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (const auto& line : lines) text += line + u"\r\n";
  const chart::History history = chart::readHistoryText(text);
  const chart::HourTexts texts = chart::readHourTexts(text);
  CHECK(texts.records == history.records && texts.skippedLines == history.skippedLines);
  CHECK(texts.hours.size() == history.hours.size());
  for (std::size_t k = 0; k < texts.hours.size() && k < history.hours.size(); ++k) {
    const chart::HourValues& h = history.hours[k];
    CHECK(texts.hours[k].hour == h.hour);
    const double values[] = {h.temperature, h.precipitation, h.humidity};
    for (std::size_t v = 0; v < 3; ++v) {
      const std::u16string_view cell = texts.hours[k].values[v];
      CHECK(chart::plainNumber(cell) == !std::isnan(values[v]));
      std::string out;
      exporting::appendCell(out, cell, exporting::TableFormat::Csv);
      const std::size_t first = out.starts_with('"') ? 1 : 0;
      CHECK(out.size() <= first || chart::plainNumber(cell) || std::string_view("=+-@\t\r\n").find(out[first]) ==
                                                                  std::string_view::npos);
    }
  }
}

// Any lines: what is read hangs together.
void checkAnyLines(std::string_view bytes) {
  const std::vector<std::u16string> lines = cp936::splitLines(bytes);
  const chart::History history = chart::readHistory(lines);
  std::size_t timeLines = 0, nonEmpty = 0;
  for (const auto& line : lines) {
    timeLines += datafile::timeLine(std::u16string_view(line));
    nonEmpty += !datafile::blankLine(std::u16string_view(line));
  }
  CHECK(history.records >= 0 && static_cast<std::size_t>(history.records) <= timeLines);
  CHECK(history.skippedLines >= 0 && history.nonNumbers >= 0);
  // A record read holds 27 lines; every other line that is not empty is
  // skipped, bar the file's header line.
  CHECK(static_cast<std::size_t>(history.skippedLines) + static_cast<std::size_t>(history.records) * (kRows + 2) + 1 >=
        nonEmpty);
  CHECK(static_cast<std::size_t>(history.nonNumbers) <= static_cast<std::size_t>(history.records) * kRows * 3);
  if (history.records == 0) {
    CHECK(history.hours.empty() && history.lastObservation == 0);
    return;
  }
  CHECK(history.hours.size() <= static_cast<std::size_t>(history.records) * kRows);
  // The latest observation is one of the time lines, and its civil hour
  // reads back as the same hour.
  CHECK(std::any_of(lines.begin(), lines.end(), [&](const std::u16string& line) {
    return datafile::recordHour(std::u16string_view(line)) == history.lastObservation;
  }));
  const chart::CivilHour civil = chart::civilHour(history.lastObservation);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d", civil.year, civil.month, civil.day, civil.hour);
  CHECK(chart::parseHour(fromUtf8(text)) == history.lastObservation);
  HourIndex previous = 0;
  for (std::size_t k = 0; k < history.hours.size(); ++k) {
    const chart::HourValues& h = history.hours[k];
    CHECK(k == 0 || h.hour > previous);
    CHECK(h.hour <= history.lastObservation);
    for (double v : {h.temperature, h.precipitation, h.humidity}) CHECK(std::isnan(v) || std::isfinite(v));
    previous = h.hour;
  }
  checkTexts(lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkAnyLines(std::string_view(reinterpret_cast<const char*>(data), size));
  FuzzedDataProvider in(data, size);
  checkBuilt(in);
  return 0;
}
