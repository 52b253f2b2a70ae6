#include "export/Export.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "catalogue/Catalogue.h"
#include "chart/History.h"
#include "export/Coverage.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"

namespace vantoril::exporting {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool startsFormula(std::u16string_view cell) {
  if (cell.empty()) return false;
  switch (cell[0]) {
    case u'=': case u'+': case u'-': case u'@': case u'\t': case u'\r': case u'\n':
      return !chart::plainNumber(cell);
    default:
      return false;
  }
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
  // The date part of the time ("2026-12-07T") once a day.
  chart::HourIndex day = -1;
  std::string date;
  const auto row = [&](chart::HourIndex hour, const std::array<std::u16string_view, 3>* values) {
    out += name;
    out += separator;
    if (hour < 0 || hour / 24 != day) {
      date.clear();
      chart::appendIsoHour(date, hour);
      if (hour < 0) {
        out += date;
      } else {
        day = hour / 24;
        date.resize(date.size() - 11);  // less "hh:00+08:00"
      }
    }
    if (hour >= 0) {
      const int h = static_cast<int>(hour % 24);
      out += date;
      out += static_cast<char>('0' + h / 10);
      out += static_cast<char>('0' + h % 10);
      out += ":00+08:00";
    }
    for (int k = 0; k < 3; ++k) {
      out += separator;
      if (values) appendCell(out, (*values)[static_cast<std::size_t>(k)], format);
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
  if (cell.empty() || (cell[0] != u'=' && cell[0] != u'+' && cell[0] != u'@' && cell[0] != u'-' && cell[0] >= 0x20)) {
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

ExportResult exportTable(const std::string& programFolder, const std::string& path,
                         const std::vector<std::u16string>& places, const ExportOptions& options) {
  const std::optional<TableFormat> format = formatOf(path);
  if (!format) throw Failure(endingRefusal(path));
  const std::string temporary = path + ".part";
  std::string chunk(kByteOrderMark);
  for (std::size_t k = 0; k < std::size(kColumns); ++k) {
    if (k > 0) chunk += *format == TableFormat::Csv ? ',' : '\t';
    appendCell(chunk, kColumns[k], *format);
  }
  chunk += "\r\n";
  writeWholeFile(temporary, chunk);
  ExportResult result;
  try {
    for (const std::u16string& place : places) {
      chunk.clear();
      try {
        if (place.empty() || place.find_first_of(u"/\\") != std::u16string::npos)
          throw Failure("不是地名：地名不能为空，也不能含有 / 或 \\");
        const std::optional<std::u16string> text = chart::placeText(programFolder, place);
        if (!text) throw Failure("没有数据文件 " + datafile::path(programFolder, place));
        const chart::HourTexts hours = chart::readHourTexts(*text);
        if (hours.hours.empty()) throw Failure("数据文件中没有可读的记录");
        result.rows += appendRows(chunk, place, hours, *format, options.withGaps);
        ++result.places;
      } catch (const Failure& e) {
        result.failed.push_back(toUtf8(place) + "：" + e.what());
        continue;
      }
      appendToFile(temporary, chunk);
    }
    renameOver(temporary, path);
  } catch (...) {
    try {
      removeFile(temporary);
    } catch (const std::exception&) {
    }
    throw;
  }
  return result;
}

}  // namespace vantoril::exporting
