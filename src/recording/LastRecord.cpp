#include "recording/LastRecord.h"

#include "notify/RunNews.h"
#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "recording/DataFile.h"

namespace vantoril::datafile {

std::optional<long long> lastRecordHour(const std::string& programFolder, std::u16string_view place) {
  static const std::string label = cp936::encode(u"数据记录时间:");
  for (const std::string& path : {pendingPath(programFolder, place), datafile::path(programFolder, place)}) {
    const std::optional<std::string> bytes = readFileIfExists(path);
    if (!bytes) continue;
    // From the end: a record cut short by a crash is passed over.
    for (std::size_t at = bytes->rfind(label); at != std::string::npos;
         at = at == 0 ? std::string::npos : bytes->rfind(label, at - 1)) {
      const std::string digits = bytes->substr(at + label.size(), 10);
      if (const auto hour = notify::siteHour(std::u16string(digits.begin(), digits.end()))) return hour;
    }
  }
  return std::nullopt;
}

}  // namespace vantoril::datafile
