#pragma once
// How a data file is read: its lines, their cells and its records, the one
// reading for the chart, the export, the coverage, the newest record of a
// run and the check of the file's end. The file as the program writes it
// and as a spreadsheet saves it again: a line ends at CR LF, LF or a lone
// CR, and a last line may have no line break; empty cells at a line's end
// (trailing tabs) are no cells; a cell wholly in double quotes ("12") is
// the text between them; a byte-order mark (UTF-8 or GB18030) before the
// first line is passed over. Read as GBK bytes (`char`) or as the text
// they decode to (`char16_t`): the marks of the format are ASCII, which no
// GBK character's second byte is, so both split alike.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vantoril::datafile {

// Whole hours since 1970-01-01 00 on the observation clock (the site's own
// local time, taken as it is written).
using HourIndex = std::int64_t;

// "yyyyMMddHH" as an hour; nothing for any other text or a date that does not exist.
std::optional<HourIndex> parseHour(std::u16string_view text);
std::optional<HourIndex> parseHour(std::string_view text);

// The lines of a record: its time line, the column line and its rows.
inline constexpr int kRecordRows = 25;
inline constexpr int kRecordLines = kRecordRows + 2;

// The fixed texts, as text and as the file's GBK bytes.
template <class Char>
struct Words;
template <>
struct Words<char16_t> {
  static constexpr std::u16string_view header = u"天气数据文件", timeLabel = u"数据记录时间:";
  static constexpr std::array<std::u16string_view, 4> columns = {u"整点", u"气温", u"降水", u"湿度"};
};
template <>
struct Words<char> {
  static constexpr std::string_view header = "\xCC\xEC\xC6\xF8\xCA\xFD\xBE\xDD\xCE\xC4\xBC\xFE",
                                    timeLabel = "\xCA\xFD\xBE\xDD\xBC\xC7\xC2\xBC\xCA\xB1\xBC\xE4:";
  static constexpr std::array<std::string_view, 4> columns = {"\xD5\xFB\xB5\xE3", "\xC6\xF8\xCE\xC2",
                                                              "\xBD\xB5\xCB\xAE", "\xCA\xAA\xB6\xC8"};
};

// How many bytes a byte-order mark takes at the start of `bytes` (0 when none).
std::size_t byteOrderMark(std::string_view bytes);
inline std::size_t byteOrderMark(std::u16string_view text) { return text.starts_with(u'\xFEFF') ? 1 : 0; }

template <class Char>
struct Line {
  std::basic_string_view<Char> text;  // without its line break
  std::size_t start = 0;              // where it starts in what was read
  std::size_t breakSize = 0;          // its line break: 2 (CR LF), 1 (LF or CR), 0 (none: the last line)
};

// Calls `line(Line<Char>)` for each line of `text`, in order; text after the
// last line break is a last line (breakSize 0), nothing after it none.
template <class Char, class OnLine>
void forEachLine(std::basic_string_view<Char> text, OnLine&& line) {
  const Char* const begin = text.data();
  const Char* const end = begin + text.size();
  for (const Char* p = begin; p < end;) {
    const Char* q = p;
    while (q < end && *q != Char('\n') && *q != Char('\r')) ++q;
    std::size_t breakSize = q == end ? 0 : (*q == Char('\r') && q + 1 < end && q[1] == Char('\n')) ? 2 : 1;
    line(Line<Char>{std::basic_string_view<Char>(p, static_cast<std::size_t>(q - p)), static_cast<std::size_t>(p - begin),
                    breakSize});
    p = q + breakSize;
  }
}

// Splits a line into at most N cells at its tabs. The count is of the cells
// up to the last one that is not empty; N + 1 when a cell after the N-th is
// not empty (those are not kept). Cells past the count are empty. `fields`:
// the cells counted empty ones at the end too (the tabs and one).
template <std::size_t N, class Char>
std::size_t readCells(std::basic_string_view<Char> line, std::array<std::basic_string_view<Char>, N>& cells,
                      std::size_t* fields = nullptr) {
  std::size_t count = 0;
  const Char* start = line.data();
  const Char* const end = start + line.size();
  for (std::size_t n = 0;; ++n) {
    // Cells are short: a plain loop finds a tab sooner than a call would.
    const Char* tab = start;
    while (tab != end && *tab != Char('\t')) ++tab;
    std::basic_string_view<Char> cell(start, static_cast<std::size_t>(tab - start));
    if (cell.size() >= 2 && cell.front() == Char('"') && cell.back() == Char('"') &&
        cell.find(Char('"'), 1) == cell.size() - 1)
      cell = cell.substr(1, cell.size() - 2);
    if (n < N) cells[n] = cell;
    if (!cell.empty()) {
      if (n >= N) return N + 1;
      count = n + 1;
    }
    if (fields) *fields = n + 1;
    if (tab == end) break;
    start = tab + 1;
  }
  for (std::size_t n = count; n < N; ++n) cells[n] = {};
  return count;
}

// Whether every cell of the line is empty: an empty line, or tabs alone.
template <class Char>
bool blankLine(std::basic_string_view<Char> line) {
  std::array<std::basic_string_view<Char>, 1> cell;
  return readCells(line, cell) == 0;
}

// Whether the line is the file's first line (its header), as written or saved again.
template <class Char>
bool headerLine(std::basic_string_view<Char> line) {
  std::array<std::basic_string_view<Char>, 1> cell;
  return readCells(line, cell) == 1 && cell[0] == Words<Char>::header;
}

// Whether the line starts a record: its first cell starts with "数据记录时间:".
template <class Char>
bool timeLine(std::basic_string_view<Char> line) {
  const std::basic_string_view<Char> label = Words<Char>::timeLabel;
  if (line.starts_with(label)) return true;
  return line.size() > label.size() && line[0] == Char('"') && line.substr(1).starts_with(label);
}

// The hour of a time line "数据记录时间:yyyyMMddHH" (its one cell); nothing
// for any other line.
template <class Char>
std::optional<HourIndex> recordHour(std::basic_string_view<Char> line) {
  std::array<std::basic_string_view<Char>, 1> cell;
  if (!timeLine(line) || readCells(line, cell) != 1 || !cell[0].starts_with(Words<Char>::timeLabel)) return std::nullopt;
  return parseHour(cell[0].substr(Words<Char>::timeLabel.size()));
}

// Whether the line is a record's column line "整点⇥气温⇥降水⇥湿度".
template <class Char>
bool columnLine(std::basic_string_view<Char> line) {
  std::array<std::basic_string_view<Char>, 4> cells;
  return readCells(line, cells) == 4 && cells == Words<Char>::columns;
}

// A row's four cells (hour, temperature, precipitation, humidity); false
// for a line of fewer (its three tabs are missing) or more that are not empty.
template <class Char>
bool readRow(std::basic_string_view<Char> line, std::array<std::basic_string_view<Char>, 4>& cells) {
  std::size_t fields = 0;
  return readCells(line, cells, &fields) <= 4 && fields >= 4;
}

// The file's lines taken as pieces: a piece runs from a time line up to the
// next time line; the lines before the first time line are a piece of their
// own. `piece(const std::vector<Line<Char>>&)` is called with each.
template <class Char>
class Pieces {
 public:
  template <class OnPiece>
  void line(const Line<Char>& line, OnPiece&& piece) {
    if (!lines_.empty() && timeLine(line.text)) {
      piece(lines_);
      lines_.clear();
    }
    lines_.push_back(line);
  }
  template <class OnPiece>
  void end(OnPiece&& piece) {
    if (!lines_.empty()) piece(lines_);
    lines_.clear();
  }

 private:
  std::vector<Line<Char>> lines_;
};

// Whether a piece is a record, and its hour: a time line with an hour, the
// column line and 25 rows, then blank lines alone. An empty line is no row
// (a row has its tabs): it ends a record cut short.
template <class Char>
std::optional<HourIndex> recordOf(const std::vector<Line<Char>>& piece) {
  if (piece.size() < static_cast<std::size_t>(kRecordLines) || !columnLine(piece[1].text)) return std::nullopt;
  for (std::size_t k = 2; k < piece.size(); ++k)
    if (k < static_cast<std::size_t>(kRecordLines) ? piece[k].text.empty() : !blankLine(piece[k].text)) return std::nullopt;
  return recordHour(piece[0].text);
}

// Where a file's torn end starts in `end`, its last bytes (`whole`: the
// whole file): at its last time line when the record there is cut short
// (fewer than its 27 lines, or its last row, without line break, short of
// its four cells), else at a last line without line break that is neither
// blank nor the header nor a record's whole last row; end.size() when
// nothing is torn. `whole` false: the bytes before the first line break
// are not read (a line cut by where the read started); nullopt when there
// is no line break at all.
std::optional<std::size_t> tornFrom(std::string_view end, bool whole);

// The line break to write after a file that ends with `end` (its last
// bytes) before a record follows: none when it ends with one; else that of
// its lines before (LF, CR or CR LF, the last only as LF after a lone CR
// that a write of CR LF left).
std::string_view missingLineBreak(std::string_view end);

// The hour of the last record in `bytes` (a data file or pending file's
// last bytes, read from `whole`: its start), nothing when they hold none.
std::optional<HourIndex> lastRecordHourIn(std::string_view bytes, bool whole);

}  // namespace vantoril::datafile
