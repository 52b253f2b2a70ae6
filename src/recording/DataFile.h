#pragma once
// The data file of a place: "WeatherData/<place>-WeatherData.xls", GBK
// text with CR LF line ends, a header line and one 28-line record per run.
#include <string>
#include <string_view>

#include "recording/Series.h"

namespace vantoril::datafile {

std::string folder(const std::string& programFolder);
std::string path(const std::string& programFolder, std::u16string_view place);

// The 27 lines of a record, each ending in CR LF: the time line, the header
// row and 25 rows from entry 25 down to entry 1.
std::u16string recordText(std::u16string_view observationTime, const SeriesLists& lists);

// Creates the folder where it is missing, then appends the record followed
// by one more CR LF in one write; a missing file is created with its header
// line in that same write. A failed write leaves the file as it was, or
// missing when it was. A record GBK cannot hold unchanged is refused
// (Failure) before anything is written.
void appendRecord(const std::string& programFolder, std::u16string_view place, std::u16string_view record);

}  // namespace vantoril::datafile
