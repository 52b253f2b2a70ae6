#pragma once
// A place's data file read back, hour by hour: for its chart, its export
// and what it covers.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/Format.h"
#include "datafile/RecordedValue.h"  // plainNumber: what the reader takes as a number

namespace vantoril::datafile {

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

// The records of a data file, given as its lines, read as Format.h says.
// A record is its time line "数据记录时间:yyyyMMddHH", the column line and
// 25 rows, the last at the observation hour and each row above it one hour
// earlier, then blank lines alone. An hour that several records hold comes
// from the latest (by observation time; of two equal times, the one further
// down). An empty value is a gap; any other value that is not a plain
// decimal number is a gap and counted. A record whose time, column line or
// number of rows is wrong is skipped whole, a row without its four cells
// alone; their lines that are not blank are counted.
History readHistory(const std::vector<std::u16string>& lines);
// The same from the file's whole text, decoded at once (lines as Format.h
// splits them).
History readHistoryText(std::u16string_view text);
// The same from the file's GBK bytes, read as readHistoryText reads the
// text they decode to, without decoding them: what the reader looks for
// (tabs, line breaks, quotes, digits, point, minus, colon) is ASCII below
// 0x40, which no byte of a GBK character is, and the fixed words are each
// the decoding of one byte sequence alone.
History readHistoryBytes(std::string_view bytes);

// The hours of readHistoryText, by the same records and the same rule, with
// each value (temperature, precipitation, humidity) as the data file writes
// it: views into `text`, which must outlive them.
struct HourText {
  HourIndex hour = 0;
  std::array<std::u16string_view, 3> values;
};
struct HourTexts {
  std::vector<HourText> hours;  // ascending, each hour once
  int records = 0;
  int skippedLines = 0;
};
HourTexts readHourTexts(std::u16string_view text);

// The records of a place as one text: its data file (its byte-order mark
// passed over), then the records waiting in its pending file, on a line of
// their own; as GBK bytes, or decoded. Nothing when neither file exists;
// Failure when one cannot be read.
std::optional<std::string> placeBytes(const std::string& programFolder, std::u16string_view place);
std::optional<std::u16string> placeText(const std::string& programFolder, std::u16string_view place);

struct CivilHour {
  int year, month, day, hour;
};
CivilHour civilHour(HourIndex hour);
// The hour in ISO 8601 with the site's offset: the observation clock is
// China's standard time, UTC+8 all year ("2026-12-07T14:00+08:00").
std::string isoHour(HourIndex hour);
void appendIsoHour(std::string& out, HourIndex hour);
// The hour as the chart writes it: "2026-12-07 14时".
std::string hourText(HourIndex hour);

}  // namespace vantoril::datafile
