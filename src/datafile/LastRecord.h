#pragma once
// The observation hour of a place's newest record, for what a run tells its
// person (hours lost, a place about to lose some).
#include <optional>
#include <string>
#include <string_view>

#include "datafile/Format.h"

namespace vantoril::datafile {

class FolderNames;

// The site hour (notify::siteHour) of the last record written for `place`:
// the last record (as Format.h reads them) of its pending file, else of its
// data file; none when neither holds a record. Throws Failure when a file cannot be read.
// With `names`, a file they say cannot be there is not looked for.
std::optional<long long> lastRecordHour(const std::string& programFolder, std::u16string_view place,
                                        const FolderNames* names = nullptr);

// The last record's hour in the file whose bytes from `from` on are `end`;
// the whole file (`whole()`) is read only when its end holds none.
template <class Whole>
std::optional<long long> lastRecordHourFrom(std::string_view end, unsigned long long from, Whole&& whole) {
  if (const auto hour = lastRecordHourIn(end, from == 0)) return hour;
  if (from == 0) return std::nullopt;
  return lastRecordHourIn(whole(), true);
}

}  // namespace vantoril::datafile
