#include "datafile/Format.h"

#include <algorithm>
#include <chrono>

namespace vantoril::datafile {

namespace {

template <class Char>
std::optional<HourIndex> hourOf(std::basic_string_view<Char> text) {
  const auto digit = [](Char c) { return c >= Char('0') && c <= Char('9'); };
  if (text.size() != 10 || !std::all_of(text.begin(), text.end(), digit)) return std::nullopt;
  const auto number = [text](std::size_t at, std::size_t length) {
    int n = 0;
    for (std::size_t i = at; i < at + length; ++i) n = n * 10 + (text[i] - Char('0'));
    return n;
  };
  using namespace std::chrono;
  const year_month_day date{year{number(0, 4)}, month{static_cast<unsigned>(number(4, 2))},
                            day{static_cast<unsigned>(number(6, 2))}};
  const int hour = number(8, 2);
  if (!date.ok() || hour > 23) return std::nullopt;
  return HourIndex{sys_days{date}.time_since_epoch().count()} * 24 + hour;
}

// Where the lines of `bytes` start: after a byte-order mark when read from
// the file's start, else after the first line break (the bytes before it
// end a line whose start was not read); nothing without a line break.
std::optional<std::size_t> firstLine(std::string_view bytes, bool whole) {
  if (whole) return byteOrderMark(bytes);
  const std::size_t at = bytes.find_first_of("\r\n");
  if (at == std::string_view::npos) return std::nullopt;
  return at + (bytes.substr(at, 2) == "\r\n" ? 2 : 1);
}

}  // namespace

std::optional<HourIndex> parseHour(std::u16string_view text) { return hourOf(text); }
std::optional<HourIndex> parseHour(std::string_view text) { return hourOf(text); }

std::size_t byteOrderMark(std::string_view bytes) {
  for (const std::string_view mark : {std::string_view("\xEF\xBB\xBF"), std::string_view("\x84\x31\x95\x33")})
    if (bytes.starts_with(mark)) return mark.size();
  return 0;
}

std::optional<std::size_t> tornFrom(std::string_view end, bool whole) {
  const auto skip = firstLine(end, whole);
  if (!skip) return std::nullopt;
  Pieces<char> pieces;
  std::vector<Line<char>> last;
  forEachLine(end.substr(*skip), [&](const Line<char>& line) { pieces.line(line, [](const auto&) {}); });
  pieces.end([&](const std::vector<Line<char>>& piece) { last = piece; });
  if (last.empty()) return end.size();
  const Line<char>& lastLine = last.back();
  const bool record = timeLine(last.front().text);
  const bool wholeRows = record && last.size() == static_cast<std::size_t>(kRecordLines);
  if (record && last.size() < static_cast<std::size_t>(kRecordLines)) return *skip + last.front().start;
  if (lastLine.breakSize > 0 || blankLine(lastLine.text) || headerLine(lastLine.text)) return end.size();
  // A last line without line break: a record's last row when it has its
  // four cells, else cut short.
  if (wholeRows) {
    std::array<std::string_view, 4> cells;
    if (readRow(lastLine.text, cells)) return end.size();
    return *skip + last.front().start;
  }
  return *skip + lastLine.start;
}

std::string_view missingLineBreak(std::string_view end) {
  if (end.empty() || end.back() == '\n') return {};
  const std::string_view before = end.back() == '\r' ? end.substr(0, end.size() - 1) : end;
  const std::size_t at = before.find_last_of("\r\n");
  const std::string_view style = at == std::string_view::npos ? "\r\n"
                                 : before[at] == '\r'          ? "\r"
                                 : at > 0 && before[at - 1] == '\r' ? "\r\n"
                                                                    : "\n";
  if (end.back() != '\r') return style;
  // A lone CR at the end of a file of CR LF lines: a write cut before its LF.
  return style == "\r\n" ? "\n" : "";
}

std::optional<HourIndex> lastRecordHourIn(std::string_view bytes, bool whole) {
  const auto skip = firstLine(bytes, whole);
  if (!skip) return std::nullopt;
  std::optional<HourIndex> hour;
  const auto piece = [&](const std::vector<Line<char>>& lines) {
    if (const auto h = recordOf(lines)) hour = h;
  };
  Pieces<char> pieces;
  forEachLine(bytes.substr(*skip), [&](const Line<char>& line) { pieces.line(line, piece); });
  pieces.end(piece);
  return hour;
}

}  // namespace vantoril::datafile
