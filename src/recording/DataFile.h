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
// row and 25 rows from entry 25 down to entry 1. A time or value holding a
// tab or a line break, which would shift the record's columns or lines, is
// refused (Failure).
std::u16string recordText(std::u16string_view observationTime, const SeriesLists& lists);

// Where records wait that the data file could not take (held by another
// program, read-only, disk full): "WeatherData/<place>-WeatherData.pending",
// the bytes the data file would have got, record after record.
std::string pendingPath(const std::string& programFolder, std::u16string_view place);

// What became of a record.
struct Appended {
  bool kept = false;  // in the pending file, not (yet) in the data file
  std::string cause;  // why the data file could not take it
};

// Creates the folder where it is missing, then appends the record followed
// by one more CR LF in one write; a missing file is created with its header
// line in that same write. Records still pending for the place go first, in
// the same write, and the pending file is removed once they are in. A failed
// write leaves the data file as it was, or missing when it was, and the
// record is added to the pending file instead (kept); when that cannot be
// written either, Failure. A record GBK cannot hold unchanged is refused
// (Failure) before anything is written.
//
// A write of pending records is noted first in
// "WeatherData/<place>-WeatherData.landing" (the data file's size before it
// and the bytes written), so that after a crash the next call can tell
// whether they landed: never twice, never half, never lost. When they landed
// but the pending file cannot be removed (another program holds it), the
// note stays to say they landed, and until the pending file can go each
// record is appended alone, or fails (Failure) where the data file cannot
// take it: the pending file then takes no more.
Appended appendRecord(const std::string& programFolder, std::u16string_view place, std::u16string_view record);

}  // namespace vantoril::datafile
