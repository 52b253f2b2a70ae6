#include "recording/DataFile.h"

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::datafile {

std::string folder(const std::string& programFolder) { return programFolder + "/WeatherData"; }

std::string path(const std::string& programFolder, std::u16string_view place) {
  return folder(programFolder) + "/" + fileNameBytes(place) + "-WeatherData.xls";
}

std::u16string recordText(std::u16string_view observationTime, const SeriesLists& lists) {
  std::u16string text = u"数据记录时间:";
  text += observationTime;
  text += CRLF;
  text += u"整点\t气温\t降水\t湿度";
  text += CRLF;
  for (int e = kSeriesEntries; e >= 1; --e) {
    text += lists.hour.values[e];
    text += u'\t';
    text += lists.temperature.values[e];
    text += u'\t';
    text += lists.precipitation.values[e];
    text += u'\t';
    text += lists.humidity.values[e];
    text += CRLF;
  }
  return text;
}

void appendRecord(const std::string& programFolder, std::u16string_view place, std::u16string_view record) {
  ensureFolder(folder(programFolder));
  const std::string file = path(programFolder, place);
  const bool created = !fileExists(file);
  if (created) cp936::createWithLine(file, u"天气数据文件");
  std::u16string text(record);
  text += CRLF;
  try {
    appendToFile(file, cp936::encode(text));
  } catch (...) {
    // A file this append created holds nothing but its header: gone again,
    // the next run starts it afresh.
    if (created) {
      try {
        removeFile(file);
      } catch (const Failure&) {
        // The append's own failure is the one to report.
      }
    }
    throw;
  }
}

}  // namespace vantoril::datafile
