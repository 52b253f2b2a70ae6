#include "chart/History.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

namespace vantoril::chart {

namespace {

constexpr std::u16string_view kTimeLabel = u"数据记录时间:";
constexpr std::u16string_view kColumns = u"整点\t气温\t降水\t湿度";
constexpr std::u16string_view kHeaderLine = u"天气数据文件";
constexpr int kRows = 25;
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A plain decimal number: an optional minus, digits, optionally a point and
// digits. Empty text is a gap; anything else is a gap and counted.
double value(std::u16string_view text, int& nonNumbers) {
  if (text.empty()) return kGap;
  std::size_t i = text[0] == u'-' ? 1 : 0;
  const std::size_t intStart = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  bool ok = i > intStart;
  if (ok && i < text.size() && text[i] == u'.') {
    const std::size_t fracStart = ++i;
    while (i < text.size() && isDigit(text[i])) ++i;
    ok = i > fracStart;
  }
  if (!ok || i != text.size() || text.size() > 32) {
    ++nonNumbers;
    return kGap;
  }
  std::array<char, 32> ascii{};
  std::transform(text.begin(), text.end(), ascii.begin(), [](char16_t c) { return static_cast<char>(c); });
  double v = kGap;
  std::from_chars(ascii.data(), ascii.data() + text.size(), v);
  return v;
}

struct Row {
  bool read = false;
  double temperature = kGap, precipitation = kGap, humidity = kGap;
};

struct Record {
  HourIndex observation = 0;
  std::array<Row, kRows> rows;  // the first row is 24 hours before the observation
};

// A row "hour<tab>temperature<tab>precipitation<tab>humidity"; the hour
// field is not used (the row's place gives its hour).
bool readRow(std::u16string_view line, Row& row, int& nonNumbers) {
  std::array<std::u16string_view, 4> fields;
  std::size_t n = 0;
  for (std::size_t start = 0;; ++n) {
    const std::size_t tab = line.find(u'\t', start);
    if (n == fields.size()) return false;
    fields[n] = line.substr(start, tab == std::u16string_view::npos ? std::u16string_view::npos : tab - start);
    if (tab == std::u16string_view::npos) break;
    start = tab + 1;
  }
  if (n != fields.size() - 1) return false;
  row.read = true;
  row.temperature = value(fields[1], nonNumbers);
  row.precipitation = value(fields[2], nonNumbers);
  row.humidity = value(fields[3], nonNumbers);
  return true;
}

}  // namespace

std::optional<HourIndex> parseHour(std::u16string_view text) {
  if (text.size() != 10 || !std::all_of(text.begin(), text.end(), isDigit)) return std::nullopt;
  const auto number = [text](std::size_t at, std::size_t length) {
    int n = 0;
    for (std::size_t i = at; i < at + length; ++i) n = n * 10 + (text[i] - u'0');
    return n;
  };
  using namespace std::chrono;
  const year_month_day date{year{number(0, 4)}, month{static_cast<unsigned>(number(4, 2))},
                            day{static_cast<unsigned>(number(6, 2))}};
  const int hour = number(8, 2);
  if (!date.ok() || hour > 23) return std::nullopt;
  return HourIndex{sys_days{date}.time_since_epoch().count()} * 24 + hour;
}

CivilHour civilHour(HourIndex hour) {
  using namespace std::chrono;
  const HourIndex days = hour >= 0 ? hour / 24 : (hour - 23) / 24;
  const year_month_day date{sys_days{std::chrono::days{days}}};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(hour - days * 24)};
}

History readHistory(const std::vector<std::u16string>& lines) {
  History history;
  std::vector<Record> records;
  records.reserve(lines.size() / (kRows + 3) + 1);
  std::size_t i = 0;
  if (!lines.empty() && lines[0] == kHeaderLine) ++i;
  while (i < lines.size()) {
    if (lines[i].empty()) {
      ++i;
      continue;
    }
    // A record runs from its time line to the next time line, less the
    // empty lines at its end.
    std::size_t end = i + 1;
    while (end < lines.size() && !lines[end].starts_with(kTimeLabel)) ++end;
    std::size_t last = end;
    while (last > i && lines[last - 1].empty()) --last;
    const std::u16string_view timeLine = lines[i];
    const auto observation =
        timeLine.starts_with(kTimeLabel) ? parseHour(timeLine.substr(kTimeLabel.size())) : std::nullopt;
    if (!observation || last - i != kRows + 2 || lines[i + 1] != kColumns) {
      for (std::size_t k = i; k < last; ++k) history.skippedLines += lines[k].empty() ? 0 : 1;
      i = end;
      continue;
    }
    Record& record = records.emplace_back();
    record.observation = *observation;
    for (int r = 0; r < kRows; ++r)
      if (!readRow(lines[i + 2 + static_cast<std::size_t>(r)], record.rows[static_cast<std::size_t>(r)],
                   history.nonNumbers))
        ++history.skippedLines;
    i = end;
  }

  history.records = static_cast<int>(records.size());
  if (records.empty()) return history;
  // The latest record last; stable, so of two equal times the later line wins.
  std::vector<std::size_t> order(records.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return records[a].observation < records[b].observation; });
  history.lastObservation = records[order.back()].observation;

  struct Sample {
    HourIndex hour;
    std::size_t rank;  // later records rank higher
    const Row* row;
  };
  std::vector<Sample> samples;
  samples.reserve(records.size() * kRows);
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    const Record& record = records[order[rank]];
    for (int r = 0; r < kRows; ++r) {
      const Row& row = record.rows[static_cast<std::size_t>(r)];
      if (row.read) samples.push_back({record.observation - (kRows - 1) + r, rank, &row});
    }
  }
  std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) {
    return a.hour != b.hour ? a.hour < b.hour : a.rank > b.rank;
  });
  for (std::size_t k = 0; k < samples.size(); ++k) {
    if (k > 0 && samples[k].hour == samples[k - 1].hour) continue;
    const Row& row = *samples[k].row;
    history.hours.push_back({samples[k].hour, row.temperature, row.precipitation, row.humidity});
  }
  return history;
}

}  // namespace vantoril::chart
