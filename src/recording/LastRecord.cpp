#include "recording/LastRecord.h"

#include "notify/RunNews.h"
#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "recording/DataFile.h"

namespace vantoril::datafile {

namespace {

// The last bytes read first: the newest record stands at the end.
constexpr unsigned long long kTail = 64 * 1024;

// The hour of the last whole record label in `bytes`; from the end, so a
// record cut short by a crash is passed over.
std::optional<long long> newestHourIn(const std::string& bytes) {
  static const std::string label = cp936::encode(u"数据记录时间:");
  for (std::size_t at = bytes.rfind(label); at != std::string::npos;
       at = at == 0 ? std::string::npos : bytes.rfind(label, at - 1)) {
    const std::string digits = bytes.substr(at + label.size(), 10);
    if (const auto hour = notify::siteHour(std::u16string(digits.begin(), digits.end()))) return hour;
  }
  return std::nullopt;
}

}  // namespace

std::optional<long long> lastRecordHour(const std::string& programFolder, std::u16string_view place) {
  for (const std::string& path : {pendingPath(programFolder, place), datafile::path(programFolder, place)}) {
    if (!fileExists(path)) continue;
    // Years of records are not read for their last one: the file's end
    // first, the whole file only when the end holds no record.
    const unsigned long long size = fileSize(path);
    const unsigned long long from = size > kTail ? size - kTail : 0;
    if (const auto hour = newestHourIn(readFileFrom(path, from))) return hour;
    if (from > 0)
      if (const auto hour = newestHourIn(readWholeFile(path))) return hour;
  }
  return std::nullopt;
}

}  // namespace vantoril::datafile
