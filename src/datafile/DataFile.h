#pragma once
// The data file of a place: "WeatherData/<place>-WeatherData.xls", GBK
// text with CR LF line ends, a header line and one 28-line record per run;
// written and mended here, read as Format.h says.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/RecordedValue.h"
#include "recording/Series.h"

namespace vantoril::datafile {

class FolderNames;

std::string folder(const std::string& programFolder);
std::string path(const std::string& programFolder, std::u16string_view place);

// The longest value a record keeps, in characters (the longest number its
// readers take), and the most digits of an observation time.
inline constexpr std::size_t kMostValueCharacters = kMostNumberCharacters;
inline constexpr std::size_t kMostTimeDigits = 14;

// The 27 lines of a record, each ending in CR LF: the time line, the header
// row and 25 rows from entry 25 down to entry 1. What a spreadsheet opening
// the file would take for anything but data is refused (Failure naming the
// field and showing the value's start): a time that is not digits only (at
// most kMostTimeDigits); a value holding a control character (below U+0020,
// or U+007F: a tab or line break would also shift the record's columns or
// lines) or longer than kMostValueCharacters; a value that is neither
// empty, nor a plain number ("-10.5", recordedValue) nor one of the site's
// placeholders ("null", "-", "--"): a formula (also behind blanks), a date,
// a time, an exponent or a word, which a spreadsheet would run or change.
std::u16string recordText(std::u16string_view observationTime, const SeriesLists& lists);

// Where records wait that the data file could not take (held by another
// program, read-only, disk full): "WeatherData/<place>-WeatherData.pending",
// the bytes the data file would have got, record after record.
std::string pendingPath(const std::string& programFolder, std::u16string_view place);

// Where the torn end of the data file goes: "WeatherData/<place>-WeatherData.damaged",
// each torn end appended to what it holds.
std::string damagedPath(const std::string& programFolder, std::u16string_view place);

// What became of a record.
struct Appended {
  bool kept = false;     // in the pending file, not (yet) in the data file
  std::string cause;     // why the data file could not take it
  std::string repaired;  // what was moved from the data file's torn end, if anything
  // The hour (notify::siteHour) of the newest record before this one, as
  // lastRecordHour finds it; none where the files hold none or cannot be read.
  std::optional<long long> before;
};

// Creates the folder where it is missing, then appends the record followed
// by one more CR LF in one write; a missing or empty (0 bytes) file is
// written with its header line in that same write. A data file whose end is
// torn (a record cut short: Format.h's tornFrom) has that end moved to the
// damaged file first, once, said in `repaired`, where the data file can be
// cut (else the record waits, kept); a whole last line without line break
// gets one (the file's own, LF in a file saved again with LF line ends);
// blank lines and other whole lines after the last record stay, and no byte
// the file holds is changed. Records still pending for the place go first, in
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
// take it: the pending file then takes no more. The note, the landed
// records and the pending file's removal reach the disk in that order.
//
// With `names` (a run's knowledge of the data folder), a file it says
// cannot be there is not looked for.
Appended appendRecord(const std::string& programFolder, std::u16string_view place, std::u16string_view record,
                      const FolderNames* names = nullptr);

}  // namespace vantoril::datafile
