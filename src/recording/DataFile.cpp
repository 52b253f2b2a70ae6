#include "recording/DataFile.h"

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::datafile {

std::string folder(const std::string& programFolder) { return programFolder + pathSeparator() + "WeatherData"; }

std::string path(const std::string& programFolder, std::u16string_view place) {
  return folder(programFolder) + pathSeparator() + fileNameBytes(place) + "-WeatherData.xls";
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
  std::u16string text(record);
  text += CRLF;
  const std::string bytes = cp936::encode(text);
  // A character GBK cannot hold, or one a page's bytes did not decode to
  // (U+FFFD), would be stored as "?": such a record is refused.
  if (cp936::decode(bytes) != text) throw Failure("观测数据中有无法解码或无法以 GBK 保存的字符，没有记录");
  if (fileExists(file)) {
    appendToFile(file, bytes);
  } else {
    // A new file gets its header line and first record in one write: a
    // failed write leaves no file, never one with the header only.
    createNewFile(file, cp936::encode(u"天气数据文件\r\n") + bytes);
  }
}

}  // namespace vantoril::datafile
