#pragma once
// A place's data file read back, hour by hour, for its chart.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoril::chart {

// Whole hours since 1970-01-01 00 on the observation clock (the site's own
// local time, taken as it is written).
using HourIndex = std::int64_t;

struct HourValues {
  HourIndex hour = 0;
  // NaN where the record holds no number.
  double temperature = 0, precipitation = 0, humidity = 0;
};

struct History {
  std::vector<HourValues> hours;  // ascending, each hour once
  int records = 0;                // records read
  int skippedLines = 0;           // lines that could not be read
  int nonNumbers = 0;             // values that were not numbers
  HourIndex lastObservation = 0;  // observation hour of the latest record
};

// The records of a data file, given as its lines. A record is its time
// line "数据记录时间:yyyyMMddHH", the column line and 25 rows, the last at
// the observation hour and each row above it one hour earlier. An hour that
// several records hold comes from the latest (by observation time; of two
// equal times, the one further down). An empty value is a gap; any other
// value that is not a plain decimal number is a gap and counted. A record
// whose time, column line or number of rows is wrong is skipped whole, a
// row without four fields alone; their lines are counted.
History readHistory(const std::vector<std::u16string>& lines);
// The same from the file's whole text, decoded at once: a line ends at CR,
// optionally followed by LF, and a last line without line end is read (the
// lines cp936::readLines gives).
History readHistoryText(std::u16string_view text);

// "yyyyMMddHH" as an hour; nothing for any other text or a date that does not exist.
std::optional<HourIndex> parseHour(std::u16string_view text);

struct CivilHour {
  int year, month, day, hour;
};
CivilHour civilHour(HourIndex hour);

}  // namespace vantoril::chart
