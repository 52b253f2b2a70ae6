#pragma once
// The observation hour of a place's newest record, for what a run tells its
// person (hours lost, a place about to lose some).
#include <optional>
#include <string>
#include <string_view>

namespace vantoril::datafile {

class FolderNames;

// The site hour (notify::siteHour) of the last record written for `place`:
// the last record (as Format.h reads them) of its pending file, else of its
// data file; none when neither holds a record. Throws Failure when a file cannot be read.
// With `names`, a file they say cannot be there is not looked for.
std::optional<long long> lastRecordHour(const std::string& programFolder, std::u16string_view place,
                                        const FolderNames* names = nullptr);

}  // namespace vantoril::datafile
