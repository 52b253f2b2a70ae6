#include "export/Export.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>

#include "catalogue/Catalogue.h"
#include "chart/History.h"
#include "export/Coverage.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"
#include "quality/Quality.h"

namespace vantoril::exporting {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Blanks a spreadsheet may trim from a cell's start ("trim spaces" in
// LibreOffice's import): white space of any kind, the ideographic space and
// the no-break spaces included.
bool blank(char16_t c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r') || c == u'\u0085' || c == u'\u00A0' || c == u'\u1680' ||
         (c >= u'\u2000' && c <= u'\u200B') || c == u'\u2028' || c == u'\u2029' || c == u'\u202F' ||
         c == u'\u205F' || c == u'\u3000' || c == u'\uFEFF';
}

// A cell a spreadsheet could take for a formula: its first character that
// is not blank is "=", "+", "-" or "@", or it starts with a tab or line
// break; a plain number ("-3.5") is a number.
bool startsFormula(std::u16string_view cell) {
  const auto first = std::find_if_not(cell.begin(), cell.end(), blank);
  if (first == cell.end()) return false;
  const bool formula = std::u16string_view(u"=+-@").find(*first) != std::u16string_view::npos ||
                       cell[0] == u'\t' || cell[0] == u'\r' || cell[0] == u'\n';
  return formula && !datafile::plainNumber(cell);
}

void appendText(std::string& out, std::u16string_view text) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    for (const char16_t c : text) out += static_cast<char>(c);
  } else {
    out += toUtf8(text);
  }
}

// The rows of one place, appended to `out`; the number written.
long long appendRows(std::string& out, std::u16string_view place, const chart::HourTexts& texts, TableFormat format,
                     bool withGaps) {
  const char separator = format == TableFormat::Csv ? ',' : '\t';
  std::string name;
  appendCell(name, place, format);
  long long rows = 0;
  // The date part of the time ("2026-12-07 ") once a day.
  chart::HourIndex day = -1;
  std::string date;
  quality::Judge judge;
  const auto row = [&](chart::HourIndex hour, const std::array<std::u16string_view, 3>* values) {
    out += name;
    out += separator;
    const chart::HourIndex today = hour >= 0 ? hour / 24 : (hour - 23) / 24;
    if (date.empty() || today != day) {
      date.clear();
      chart::appendIsoHour(date, hour);
      date.resize(date.size() - 11);  // less "hh:00+08:00"
      date.back() = ' ';              // the "T" a spreadsheet does not read
      day = today;
    }
    const int h = static_cast<int>(hour - today * 24);
    out += date;
    out += static_cast<char>('0' + h / 10);
    out += static_cast<char>('0' + h % 10);
    out += ":00";
    for (int k = 0; k < 3; ++k) {
      out += separator;
      if (values) appendCell(out, (*values)[static_cast<std::size_t>(k)], format);
    }
    out += separator;
    if (values) {
      const unsigned marks = judge.marks(hour, quality::numberOf((*values)[0]), quality::numberOf((*values)[1]),
                                         quality::numberOf((*values)[2]));
      if (marks) appendCell(out, fromUtf8(quality::markText(marks)), format);
    }
    out += "\r\n";
    ++rows;
  };
  const chart::HourText* previous = nullptr;
  for (const chart::HourText& h : texts.hours) {
    if (withGaps && previous)
      for (chart::HourIndex missing = previous->hour + 1; missing < h.hour; ++missing) row(missing, nullptr);
    row(h.hour, &h.values);
    previous = &h;
  }
  return rows;
}

// The days of one place (kDailyColumns), appended to `out`; the number written.
long long appendDays(std::string& out, std::u16string_view place, const chart::History& history, TableFormat format) {
  const char separator = format == TableFormat::Csv ? ',' : '\t';
  std::string name;
  appendCell(name, place, format);
  const auto clock = [](chart::HourIndex hour) {
    const int h = chart::civilHour(hour).hour;
    return std::string{static_cast<char>('0' + h / 10), static_cast<char>('0' + h % 10)} + ":00";
  };
  const std::vector<quality::Day> days = quality::daysOf(history.hours, quality::marksOf(history.hours));
  for (const quality::Day& d : days) {
    const std::string date = chart::isoHour(d.day * 24).substr(0, 10);
    const bool extremes = !std::isnan(d.highest);
    const std::string cells[] = {date,
                                 quality::readingText(d.highest),
                                 extremes ? clock(d.highestHour) : "",
                                 quality::readingText(d.lowest),
                                 extremes ? clock(d.lowestHour) : "",
                                 quality::oneDecimal(d.meanTemperature),
                                 quality::oneDecimal(d.precipitation),
                                 quality::oneDecimal(d.meanHumidity),
                                 std::to_string(d.hours)};
    out += name;
    for (const std::string& cell : cells) {
      out += separator;
      out += cell;
    }
    out += "\r\n";
  }
  return static_cast<long long>(days.size());
}

}  // namespace

std::optional<TableFormat> formatOf(std::string_view path) {
  if (path.size() < 4) return std::nullopt;
  const std::string ending = lowerAscii(path.substr(path.size() - 4));
  if (ending == ".csv") return TableFormat::Csv;
  if (ending == ".tsv") return TableFormat::Tsv;
  return std::nullopt;
}

std::string endingRefusal(const std::string& path) {
  return "无法导出到 " + path + "：文件名须以 .csv（逗号分隔）或 .tsv（制表符分隔）结尾";
}

void appendCell(std::string& out, std::u16string_view cell, TableFormat format) {
  const char16_t separator = format == TableFormat::Csv ? u',' : u'\t';
  // Mostly a number: ASCII, nothing to quote, not starting a formula.
  if (cell.empty() || (cell[0] != u'=' && cell[0] != u'+' && cell[0] != u'@' && cell[0] != u'-' && cell[0] > u' ')) {
    const std::size_t start = out.size();
    bool plain = true;
    for (const char16_t c : cell) {
      if (c >= 0x80 || c < 0x20 || c == separator || c == u'"') {
        plain = false;
        break;
      }
      out += static_cast<char>(c);
    }
    if (plain) return;
    out.resize(start);
  }
  const bool formula = startsFormula(cell);
  const bool quoted = std::any_of(cell.begin(), cell.end(), [separator](char16_t c) {
    return c == separator || c == u'"' || c == u'\r' || c == u'\n';
  });
  if (quoted) out += '"';
  if (formula) out += '\'';
  if (!quoted) {
    appendText(out, cell);
    return;
  }
  std::size_t from = 0;
  for (std::size_t quote; (quote = cell.find(u'"', from)) != std::u16string_view::npos; from = quote + 1) {
    appendText(out, cell.substr(from, quote + 1 - from));
    out += '"';
  }
  appendText(out, cell.substr(from));
  out += '"';
}

namespace {

// A failure of the table's temporary file, told of the user's file: the
// temporary name is nobody's business.
Failure ofUserFile(const std::exception& e, const std::string& temporary, const std::string& path) {
  std::string message = e.what();
  for (std::size_t at = 0; (at = message.find(temporary, at)) != std::string::npos; at += path.size())
    message.replace(at, temporary.size(), path);
  return Failure(message);
}

// The system's cause a failure ends with.
std::string causeOf(const std::exception& e) {
  const std::string message = e.what();
  const std::size_t colon = message.rfind("：");
  return colon == std::string::npos ? message : message.substr(colon + std::string_view("：").size());
}

}  // namespace

ExportResult exportTable(const std::string& programFolder, const std::string& path,
                         const std::vector<std::u16string>& places, const ExportOptions& options) {
  const std::optional<TableFormat> format = formatOf(path);
  if (!format) throw Failure(endingRefusal(path));
  // The user's file: where it is a link, the file the link leads to is
  // written, and the link stays.
  const std::string target = linkTarget(path);
  const std::string temporary = target + ".part";
  std::string chunk(kByteOrderMark);
  std::vector<std::u16string_view> columns(std::begin(kColumns), std::end(kColumns));
  columns.push_back(kQualityColumn);
  if (options.daily) columns.assign(std::begin(kDailyColumns), std::end(kDailyColumns));
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) chunk += *format == TableFormat::Csv ? ',' : '\t';
    appendCell(chunk, columns[k], *format);
  }
  chunk += "\r\n";
  ExportResult result;
  try {
    // What a crash left half written goes, whatever this export does.
    removeFileIfExists(temporary);
    if (readOnlyFile(target))
      throw Failure("无法导出到 " + path + "：这个文件是只读的，没有改写它（请另选文件名，或先去掉它的只读属性）");
    createNewFile(temporary, chunk);
  } catch (const std::exception& e) {
    throw ofUserFile(e, temporary, path);
  }
  try {
    for (const std::u16string& place : places) {
      chunk.clear();
      std::string group;  // what the places left out alike share, when not the whole cause
      try {
        if (place.empty() || place.find_first_of(u"/\\") != std::u16string::npos)
          throw Failure("不是地名：地名不能为空，也不能含有 / 或 \\");
        const std::optional<std::u16string> text = chart::placeText(programFolder, place);
        if (!text) {
          group = "在 " + datafile::folder(programFolder) + " 中没有数据文件";
          throw Failure("没有数据文件 " + datafile::path(programFolder, place));
        }
        if (options.daily) {
          const chart::History history = chart::readHistoryText(*text);
          if (history.hours.empty()) throw Failure("数据文件中没有可读的记录");
          result.rows += appendDays(chunk, place, history, *format);
        } else {
          const chart::HourTexts hours = chart::readHourTexts(*text);
          if (hours.hours.empty()) throw Failure("数据文件中没有可读的记录");
          result.rows += appendRows(chunk, place, hours, *format, options.withGaps);
        }
        ++result.places;
      } catch (const Failure& e) {
        result.failed.push_back(toUtf8(place) + "：" + e.what());
        result.notes.push_back({notify::PlaceNote::NotExported, toUtf8(place), result.failed.back(),
                                group.empty() ? e.what() : group});
        continue;
      }
      appendToFile(temporary, chunk);
    }
    keepPermissions(target, temporary);
    try {
      renameOver(temporary, target);
    } catch (const std::exception& e) {
      throw Failure("无法写入文件 " + path + "：" + causeOf(e));
    }
  } catch (const std::exception& e) {
    try {
      removeFile(temporary);
    } catch (const std::exception&) {
    }
    throw ofUserFile(e, temporary, path);
  }
  return result;
}

}  // namespace vantoril::exporting
