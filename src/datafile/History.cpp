#include "datafile/History.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"

namespace vantoril::datafile {

namespace {

constexpr int kRows = kRecordRows;
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();

template <class Char>
bool isDigit(Char c) { return c >= Char('0') && c <= Char('9'); }

// The digits of a plain decimal number: an optional minus, digits,
// optionally a point and digits; nothing for any other text.
struct Digits {
  std::uint64_t digits = 0;  // meaningful up to 19 digits
  std::size_t whole = 0, decimals = 0;
  bool negative = false;
};

template <class Char>
std::optional<Digits> plainDigits(std::basic_string_view<Char> text) {
  Digits d;
  d.negative = !text.empty() && text[0] == Char('-');
  std::size_t i = d.negative ? 1 : 0;
  const auto run = [&] {
    const std::size_t start = i;
    for (; i < text.size() && isDigit(text[i]); ++i) d.digits = d.digits * 10 + static_cast<std::uint64_t>(text[i] - Char('0'));
    return i - start;
  };
  d.whole = run();
  bool ok = d.whole > 0;
  if (ok && i < text.size() && text[i] == Char('.')) {
    ++i;
    d.decimals = run();
    ok = d.decimals > 0;
  }
  if (!ok || i != text.size() || text.size() > 32) return std::nullopt;
  return d;
}

// Whether a value is counted as not a number: neither empty (a gap) nor plain.
template <class Char>
bool nonNumber(std::basic_string_view<Char> text) {
  return !text.empty() && !plainDigits(text);
}

// A value as a number; a gap (NaN) for empty text or any that is not plain.
template <class Char>
double value(std::basic_string_view<Char> text) {
  const std::optional<Digits> d = plainDigits(text);
  if (!d) return kGap;
  // Up to 15 digits, exact in a double, and one division by an exact power
  // of ten give the nearest double, as from_chars does, only faster.
  if (d->whole + d->decimals <= 15) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = static_cast<double>(d->digits) / kPowers[d->decimals];
    return d->negative ? -v : v;
  }
  std::array<char, 32> ascii{};
  std::transform(text.begin(), text.end(), ascii.begin(), [](Char c) { return static_cast<char>(c); });
  double v = kGap;
  std::from_chars(ascii.data(), ascii.data() + text.size(), v);
  return v;
}

// A row "hour<tab>temperature<tab>precipitation<tab>humidity" (its cells as
// Format.h reads them); the hour cell is not used (the row's place gives
// its hour). With `nonNumbers`, the values that are not numbers are counted.
template <class Char>
bool readRow(std::basic_string_view<Char> line, std::array<std::basic_string_view<Char>, 3>& texts, int* nonNumbers) {
  std::array<std::basic_string_view<Char>, 4> fields;
  if (!datafile::readRow(line, fields)) return false;
  texts = {fields[1], fields[2], fields[3]};
  if (nonNumbers)
    for (const auto text : texts) *nonNumbers += nonNumber(text) ? 1 : 0;
  return true;
}

}  // namespace

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

namespace {

// The hour by the pattern "yyyy-mm-dd?hh…" (`pattern`: its text, the
// digits' places as they stand, `format`: the same for printf, for a year
// that has not four digits).
template <std::size_t N>
void appendHour(std::string& out, HourIndex hour, const char (&pattern)[N], const char* format) {
  const CivilHour c = civilHour(hour);
  if (c.year < 0 || c.year > 9999) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, c.year, c.month, c.day, c.hour);
    out += buf;
    return;
  }
  char buf[N];
  std::copy(pattern, pattern + N, buf);
  const auto put = [&buf](std::size_t at, int n, int digits) {
    for (int k = digits - 1; k >= 0; --k, n /= 10) buf[at + static_cast<std::size_t>(k)] = static_cast<char>('0' + n % 10);
  };
  put(0, c.year, 4);
  put(5, c.month, 2);
  put(8, c.day, 2);
  put(11, c.hour, 2);
  out.append(buf, N - 1);
}

}  // namespace

void appendIsoHour(std::string& out, HourIndex hour) {
  appendHour(out, hour, "yyyy-mm-ddThh:00+08:00", "%04d-%02d-%02dT%02d:00+08:00");
}

std::string hourText(HourIndex hour) {
  std::string text;
  appendHour(text, hour, "yyyy-mm-dd hh时", "%04d-%02d-%02d %02d时");
  return text;
}

namespace {

// An hour's values as written and the record they come from, by rank: the later
// observation, and of two equal ones the record further down.
template <class Char>
struct Sample {
  HourIndex hour;
  std::array<std::basic_string_view<Char>, 3> texts;
  HourIndex observation;
  std::size_t sequence;
  bool outranks(const Sample& other) const {
    return observation != other.observation ? observation > other.observation : sequence > other.sequence;
  }
};

// Takes the file's lines one at a time, in pieces (Format.h): a piece that
// is a record gives its rows, any other is skipped. The lines are text, or
// GBK bytes read as that text would be.
template <class Char>
class Reader {
 public:
  using Text = std::basic_string_view<Char>;
  using Taken = Sample<Char>;
  // `numbers`: the values that are not numbers counted; without, only
  // their texts are kept.
  explicit Reader(bool numbers) : numbers_(numbers) {}
  // Room for the hours of a text of that many characters: some 30 a new hour.
  void expect(std::size_t characters) { taken_.reserve(characters / 30); }

  void line(Text text) {
    if (first_) {
      // The header is the first line that is not blank. GBK bytes decode
      // to no byte-order mark: the file's own was passed over before.
      if constexpr (std::is_same_v<Char, char16_t>) text.remove_prefix(byteOrderMark(text));
      if (blankLine(text)) return;
      first_ = false;
      if (headerLine(text)) return;
    }
    pieces_.line({text}, [this](const std::vector<Line<Char>>& piece) { endPiece(piece); });
  }

  // The hours taken, each from its highest ranked record.
  std::vector<Taken> merged() {
    pieces_.end([this](const std::vector<Line<Char>>& piece) { endPiece(piece); });
    if (!late_.empty()) {
      // Records out of time order: every hour's samples side by side, the
      // highest ranked first.
      taken_.insert(taken_.end(), late_.begin(), late_.end());
      std::sort(taken_.begin(), taken_.end(), [](const Taken& a, const Taken& b) {
        return a.hour != b.hour ? a.hour < b.hour : a.outranks(b);
      });
      taken_.erase(std::unique(taken_.begin(), taken_.end(),
                               [](const Taken& a, const Taken& b) { return a.hour == b.hour; }),
                   taken_.end());
    }
    return std::move(taken_);
  }
  const History& counts() const { return history_; }

  // The hours taken, their values read as numbers: of an hour several
  // records hold, only the one taken.
  History history() && {
    const std::vector<Taken> samples = merged();
    history_.hours.reserve(samples.size());
    for (const Taken& s : samples)
      history_.hours.push_back({s.hour, value(s.texts[0]), value(s.texts[1]), value(s.texts[2])});
    return std::move(history_);
  }

 private:
  void endPiece(const std::vector<Line<Char>>& piece) {
    const auto observation = recordOf(piece);
    if (!observation) {
      for (const Line<Char>& line : piece) history_.skippedLines += blankLine(line.text) ? 0 : 1;
    } else {
      // A record no earlier than every record before it (the usual order of
      // a data file) outranks them all: its rows are taken at once.
      const bool inOrder = history_.records == 0 || *observation >= history_.lastObservation;
      // Its hours start no earlier than those of the records taken, so at
      // most 25 hours taken lie at or after its first: it lands among them.
      std::size_t at = taken_.size() - std::min<std::size_t>(taken_.size(), kRows);
      for (std::size_t r = 0; r < kRows; ++r) {
        Taken sample{0, {}, *observation, static_cast<std::size_t>(history_.records)};
        if (!readRow(piece[2 + r].text, sample.texts, numbers_ ? &history_.nonNumbers : nullptr)) {
          ++history_.skippedLines;
          continue;
        }
        sample.hour = *observation - (kRows - 1) + static_cast<HourIndex>(r);
        if (inOrder) take(sample, at);
        else late_.push_back(sample);
      }
      if (inOrder) history_.lastObservation = *observation;
      ++history_.records;
    }
  }

  // Takes the sample in its place among the hours taken, looking from `at`
  // (before its place), and leaves `at` after it: the rows of a record
  // come in time order.
  void take(const Taken& sample, std::size_t& at) {
    while (at < taken_.size() && taken_[at].hour < sample.hour) ++at;
    if (at == taken_.size()) taken_.push_back(sample);
    else if (taken_[at].hour == sample.hour) taken_[at] = sample;
    else taken_.insert(taken_.begin() + static_cast<std::ptrdiff_t>(at), sample);
    ++at;
  }

  const bool numbers_;
  bool first_ = true;
  Pieces<Char> pieces_;
  std::vector<Taken> taken_;  // ascending, each hour once
  std::vector<Taken> late_;   // rows of records out of time order
  History history_;
};

}  // namespace

History readHistory(const std::vector<std::u16string>& lines) {
  Reader<char16_t> reader(true);
  for (const std::u16string& line : lines) reader.line(line);
  return std::move(reader).history();
}

History readHistoryText(std::u16string_view text) {
  Reader<char16_t> reader(true);
  reader.expect(text.size());
  datafile::forEachLine(text, [&](const Line<char16_t>& line) { reader.line(line.text); });
  return std::move(reader).history();
}

History readHistoryBytes(std::string_view bytes) {
  Reader<char> reader(true);
  reader.expect(bytes.size());
  datafile::forEachLine(bytes, [&](const Line<char>& line) { reader.line(line.text); });
  return std::move(reader).history();
}

HourTexts readHourTexts(std::u16string_view text) {
  Reader<char16_t> reader(false);
  reader.expect(text.size());
  datafile::forEachLine(text, [&](const Line<char16_t>& line) { reader.line(line.text); });
  HourTexts result;
  const std::vector<Sample<char16_t>> samples = reader.merged();
  result.records = reader.counts().records;
  result.skippedLines = reader.counts().skippedLines;
  result.hours.reserve(samples.size());
  for (const Sample<char16_t>& s : samples) result.hours.push_back({s.hour, s.texts});
  return result;
}

std::optional<std::string> placeBytes(const std::string& programFolder, std::u16string_view place) {
  // Records waiting in the pending file come after those of the data file.
  std::optional<std::string> dataBytes = readFileIfExists(path(programFolder, place));
  const std::optional<std::string> pendingBytes = readFileIfExists(pendingPath(programFolder, place));
  if (!dataBytes && !pendingBytes) return std::nullopt;
  std::string bytes = dataBytes ? std::move(*dataBytes) : std::string();
  bytes.erase(0, byteOrderMark(bytes));
  if (pendingBytes) {
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') bytes += "\r\n";
    bytes += *pendingBytes;
  }
  return bytes;
}

std::optional<std::u16string> placeText(const std::string& programFolder, std::u16string_view place) {
  const std::optional<std::string> bytes = placeBytes(programFolder, place);
  if (!bytes) return std::nullopt;
  return cp936::decode(*bytes);
}

}  // namespace vantoril::datafile
