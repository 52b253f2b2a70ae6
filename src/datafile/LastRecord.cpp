#include "datafile/LastRecord.h"

#include "datafile/DataFile.h"
#include "datafile/FolderNames.h"
#include "datafile/Format.h"
#include "platform/FileSystem.h"

namespace vantoril::datafile {

namespace {

// The last bytes read first: the newest record stands at the end.
constexpr unsigned long long kTail = 64 * 1024;

}  // namespace

std::optional<long long> lastRecordHour(const std::string& programFolder, std::u16string_view place,
                                        const FolderNames* names) {
  for (const std::string& path : {pendingPath(programFolder, place), datafile::path(programFolder, place)}) {
    if ((names && !names->mayHold(path)) || !fileExists(path)) continue;
    // Years of records are not read for their last one: the file's end
    // first, the whole file only when the end holds no record.
    const unsigned long long size = fileSize(path);
    const unsigned long long from = size > kTail ? size - kTail : 0;
    if (const auto hour = lastRecordHourFrom(readFileFrom(path, from), from, [&] { return readWholeFile(path); }))
      return hour;
  }
  return std::nullopt;
}

}  // namespace vantoril::datafile
