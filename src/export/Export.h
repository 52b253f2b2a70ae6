#pragma once
// The record of places taken out as one table for spreadsheets and analysis
// tools: one row per place and hour, each hour's values from the record the
// chart takes them from (chart::readHourTexts), the records still pending
// included. The data files are only read.
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "notify/RunNews.h"

namespace vantoril::exporting {

enum class TableFormat { Csv, Tsv };

// The format a file's name ends in, ".csv" or ".tsv" (any case); nothing for another ending.
std::optional<TableFormat> formatOf(std::string_view path);
// What a refused ending is told.
std::string endingRefusal(const std::string& path);

// The first line of every table. The hour is written "2026-12-07 14:00",
// which spreadsheets and analysis tools read as a date and time without being
// told; it is the site's clock, China's standard time, named in the header.
inline constexpr std::u16string_view kColumns[] = {u"地名", u"时间（北京时间）", u"气温", u"降水", u"湿度"};
// After them, the hour's quality marks: empty, or "可疑：…" naming the rules
// (quality::markText).
inline constexpr std::u16string_view kQualityColumn = u"质量";
// The first line of a table of days (--daily): one row per place and day.
// A day with fewer than quality::kFullDay recorded hours has its row, with
// its mean temperature, precipitation and mean humidity left empty; marked
// readings are left out of every figure.
inline constexpr std::u16string_view kDailyColumns[] = {u"地名",       u"日期",       u"最高气温", u"最高气温时刻",
                                                        u"最低气温",   u"最低气温时刻", u"平均气温", u"降水量",
                                                        u"平均湿度",   u"记录小时数"};

// A cell as the table holds it. A spreadsheet reads a cell starting with
// = + - @ (or a tab or line break) as a formula, also behind blanks it
// trims (spaces of any kind, U+3000 and U+00A0 among them): such a cell
// that is not a plain decimal number ("-3.5" stays a number) gets a
// leading apostrophe,
// which spreadsheets take as "text follows" and analysis tools keep as text.
// Then, in a .csv, RFC 4180: a cell holding a comma, a double quote or a
// line break is quoted, its quotes doubled; a .tsv quotes the same way a
// cell holding a tab, a double quote or a line break.
void appendCell(std::string& out, std::u16string_view cell, TableFormat format);

struct ExportOptions {
  // Every hour between a place's first and last, the missing ones as rows
  // with empty values.
  bool withGaps = false;
  // One row per place and day (kDailyColumns) instead of per hour.
  bool daily = false;
};

struct ExportResult {
  long long rows = 0;               // rows of data, the column line not counted
  int places = 0;                   // places with at least one row
  std::vector<std::string> failed;  // one message per place left out
  // The same, for the window's report: places left out alike grouped by
  // notify::reportText, a missing data file's folder said once.
  std::vector<notify::PlaceNote> notes;
};

// Writes the table of `places`, in that order, each place's hours in time
// order, to `path`: UTF-8 with a byte-order mark, CR LF line ends. It is
// written under a temporary name beside `path` and renamed over it at the
// end, so `path` holds the old file or the whole table. A place without
// data file and pending file, without a readable record, or whose files
// cannot be read is left out with a message in `failed`; the others are
// written. Only one place's data is held at a time. Throws Failure for a
// refused ending or when the table cannot be written.
ExportResult exportTable(const std::string& programFolder, const std::string& path,
                         const std::vector<std::u16string>& places, const ExportOptions& options = {});

// The places of the list, in its order (the catalogue folder's scan).
std::vector<std::u16string> listedPlaces(const std::string& programFolder);
// `named` in the list's order, names the list does not hold after them in
// their own order, each once; all listed places when none is named.
std::vector<std::u16string> placesInListOrder(const std::vector<std::u16string>& listed,
                                              const std::vector<std::u16string>& named);

// --export FILE [PLACE...]: 0 when every place was written, 1 when one was
// left out or the table could not be written, 2 for a refused ending (the
// data folder not looked for then).
int exportMode(const std::function<std::string()>& programFolder, const std::string& path,
               const std::vector<std::string>& places,
               const ExportOptions& options, std::ostream& out, std::ostream& err);
// --coverage [PLACE...]: "<place>\t<coverageText>" per place; 0 when every
// place has a record, else 1.
int coverageMode(const std::string& programFolder, const std::vector<std::string>& places, std::ostream& out,
                 std::ostream& err);
// The same for the window: "<place>：<coverageText>" a line, in the order
// of `places`; a place whose files cannot be read says why instead.
std::string coverageLines(const std::string& programFolder, const std::vector<std::u16string>& places);

}  // namespace vantoril::exporting
