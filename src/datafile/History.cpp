#include "datafile/History.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"

namespace vantoril::datafile {

namespace {

constexpr int kRows = kRecordRows;
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A plain decimal number: an optional minus, digits, optionally a point and
// digits. Empty text is a gap; anything else is a gap and counted.
double value(std::u16string_view text, int& nonNumbers) {
  if (text.empty()) return kGap;
  const bool negative = text[0] == u'-';
  std::size_t i = negative ? 1 : 0;
  std::uint64_t digits = 0;  // meaningful up to 19 digits
  const auto run = [&] {
    const std::size_t start = i;
    for (; i < text.size() && isDigit(text[i]); ++i) digits = digits * 10 + static_cast<std::uint64_t>(text[i] - u'0');
    return i - start;
  };
  const std::size_t whole = run();
  std::size_t decimals = 0;
  bool ok = whole > 0;
  if (ok && i < text.size() && text[i] == u'.') {
    ++i;
    decimals = run();
    ok = decimals > 0;
  }
  if (!ok || i != text.size() || text.size() > 32) {
    ++nonNumbers;
    return kGap;
  }
  // Up to 15 digits, exact in a double, and one division by an exact power
  // of ten give the nearest double, as from_chars does, only faster.
  if (whole + decimals <= 15) {
    constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = static_cast<double>(digits) / kPowers[decimals];
    return negative ? -v : v;
  }
  std::array<char, 32> ascii{};
  std::transform(text.begin(), text.end(), ascii.begin(), [](char16_t c) { return static_cast<char>(c); });
  double v = kGap;
  std::from_chars(ascii.data(), ascii.data() + text.size(), v);
  return v;
}

// A row "hour<tab>temperature<tab>precipitation<tab>humidity" (its cells as
// Format.h reads them); the hour cell is not used (the row's place gives
// its hour). Without `nonNumbers`, the values are left unread.
bool readRow(std::u16string_view line, HourValues& row, std::array<std::u16string_view, 3>& texts, int* nonNumbers) {
  std::array<std::u16string_view, 4> fields;
  if (!datafile::readRow(line, fields)) return false;
  texts = {fields[1], fields[2], fields[3]};
  if (!nonNumbers) return true;
  row.temperature = value(fields[1], *nonNumbers);
  row.precipitation = value(fields[2], *nonNumbers);
  row.humidity = value(fields[3], *nonNumbers);
  return true;
}

}  // namespace

bool plainNumber(std::u16string_view text) {
  int nonNumbers = 0;
  return !std::isnan(value(text, nonNumbers)) && nonNumbers == 0;
}

CivilHour civilHour(HourIndex hour) {
  using namespace std::chrono;
  const HourIndex days = hour >= 0 ? hour / 24 : (hour - 23) / 24;
  const year_month_day date{sys_days{std::chrono::days{days}}};
  return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
          static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(hour - days * 24)};
}

std::string isoHour(HourIndex hour) {
  std::string text;
  appendIsoHour(text, hour);
  return text;
}

void appendIsoHour(std::string& out, HourIndex hour) {
  const CivilHour c = civilHour(hour);
  if (c.year < 0 || c.year > 9999) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:00+08:00", c.year, c.month, c.day, c.hour);
    out += buf;
    return;
  }
  char buf[] = "yyyy-mm-ddThh:00+08:00";
  const auto put = [&buf](std::size_t at, int n, int digits) {
    for (int k = digits - 1; k >= 0; --k, n /= 10) buf[at + static_cast<std::size_t>(k)] = static_cast<char>('0' + n % 10);
  };
  put(0, c.year, 4);
  put(5, c.month, 2);
  put(8, c.day, 2);
  put(11, c.hour, 2);
  out.append(buf, sizeof buf - 1);
}

std::string hourText(HourIndex hour) {
  const CivilHour c = civilHour(hour);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d时", c.year, c.month, c.day, c.hour);
  return buf;
}

namespace {

// An hour's values and the record they come from, by rank: the later
// observation, and of two equal ones the record further down.
struct Sample {
  HourValues values;
  std::array<std::u16string_view, 3> texts;
  HourIndex observation;
  std::size_t sequence;
  bool outranks(const Sample& other) const {
    return observation != other.observation ? observation > other.observation : sequence > other.sequence;
  }
};

// Takes the file's lines one at a time, in pieces (Format.h): a piece that
// is a record gives its rows, any other is skipped.
class Reader {
 public:
  // `numbers`: each value read as a number too (and the non-numbers
  // counted); without, only its text is kept.
  explicit Reader(bool numbers) : numbers_(numbers) {}
  // Room for the hours of a text of that many characters: some 30 a new hour.
  void expect(std::size_t characters) { taken_.reserve(characters / 30); }

  void line(std::u16string_view text) {
    if (first_) {
      // The header is the first line that is not blank.
      text.remove_prefix(byteOrderMark(text));
      if (blankLine(text)) return;
      first_ = false;
      if (headerLine(text)) return;
    }
    pieces_.line({text}, [this](const std::vector<Line<char16_t>>& piece) { endPiece(piece); });
  }

  // The hours taken, each from its highest ranked record.
  std::vector<Sample> merged() {
    pieces_.end([this](const std::vector<Line<char16_t>>& piece) { endPiece(piece); });
    if (!late_.empty()) {
      // Records out of time order: every hour's samples side by side, the
      // highest ranked first.
      taken_.insert(taken_.end(), late_.begin(), late_.end());
      std::sort(taken_.begin(), taken_.end(), [](const Sample& a, const Sample& b) {
        return a.values.hour != b.values.hour ? a.values.hour < b.values.hour : a.outranks(b);
      });
      taken_.erase(std::unique(taken_.begin(), taken_.end(),
                               [](const Sample& a, const Sample& b) { return a.values.hour == b.values.hour; }),
                   taken_.end());
    }
    return std::move(taken_);
  }
  const History& counts() const { return history_; }

  History history() && {
    const std::vector<Sample> samples = merged();
    history_.hours.reserve(samples.size());
    for (const Sample& s : samples) history_.hours.push_back(s.values);
    return std::move(history_);
  }

 private:
  void endPiece(const std::vector<Line<char16_t>>& piece) {
    const auto observation = recordOf(piece);
    if (!observation) {
      for (const Line<char16_t>& line : piece) history_.skippedLines += blankLine(line.text) ? 0 : 1;
    } else {
      // A record no earlier than every record before it (the usual order of
      // a data file) outranks them all: its rows are taken at once.
      const bool inOrder = history_.records == 0 || *observation >= history_.lastObservation;
      for (std::size_t r = 0; r < kRows; ++r) {
        Sample sample{{}, {}, *observation, static_cast<std::size_t>(history_.records)};
        if (!readRow(piece[2 + r].text, sample.values, sample.texts, numbers_ ? &history_.nonNumbers : nullptr)) {
          ++history_.skippedLines;
          continue;
        }
        sample.values.hour = *observation - (kRows - 1) + static_cast<HourIndex>(r);
        if (inOrder) take(sample);
        else late_.push_back(sample);
      }
      if (inOrder) history_.lastObservation = *observation;
      ++history_.records;
    }
  }

  // The records taken so far are no later than this sample's: a record's
  // 25 hours start no earlier than theirs, so at most 25 hours taken lie at
  // or after its hour, and it lands at the end or among the last few.
  void take(const Sample& sample) {
    if (taken_.empty() || taken_.back().values.hour < sample.values.hour) {
      taken_.push_back(sample);
      return;
    }
    const auto at = std::lower_bound(taken_.begin(), taken_.end(), sample.values.hour,
                                     [](const Sample& s, HourIndex hour) { return s.values.hour < hour; });
    if (at->values.hour == sample.values.hour) *at = sample;
    else taken_.insert(at, sample);
  }

  const bool numbers_;
  bool first_ = true;
  Pieces<char16_t> pieces_;
  std::vector<Sample> taken_;  // ascending, each hour once
  std::vector<Sample> late_;   // rows of records out of time order
  History history_;
};

}  // namespace

History readHistory(const std::vector<std::u16string>& lines) {
  Reader reader(true);
  for (const std::u16string& line : lines) reader.line(line);
  return std::move(reader).history();
}

History readHistoryText(std::u16string_view text) {
  Reader reader(true);
  reader.expect(text.size());
  datafile::forEachLine(text, [&](const Line<char16_t>& line) { reader.line(line.text); });
  return std::move(reader).history();
}

HourTexts readHourTexts(std::u16string_view text) {
  Reader reader(false);
  reader.expect(text.size());
  datafile::forEachLine(text, [&](const Line<char16_t>& line) { reader.line(line.text); });
  HourTexts result;
  const std::vector<Sample> samples = reader.merged();
  result.records = reader.counts().records;
  result.skippedLines = reader.counts().skippedLines;
  result.hours.reserve(samples.size());
  for (const Sample& s : samples) result.hours.push_back({s.values.hour, s.texts});
  return result;
}

std::optional<std::u16string> placeText(const std::string& programFolder, std::u16string_view place) {
  // Records waiting in the pending file come after those of the data file.
  const std::optional<std::string> dataBytes = readFileIfExists(path(programFolder, place)),
                                   pendingBytes = readFileIfExists(pendingPath(programFolder, place));
  if (!dataBytes && !pendingBytes) return std::nullopt;
  std::u16string text =
      dataBytes ? cp936::decode(std::string_view(*dataBytes).substr(byteOrderMark(*dataBytes))) : std::u16string();
  if (pendingBytes) {
    if (!text.empty() && text.back() != u'\n' && text.back() != u'\r') text += u"\r\n";
    text += cp936::decode(*pendingBytes);
  }
  return text;
}

}  // namespace vantoril::datafile
