// Fuzz target: the one reading of a data file (datafile/Format.h), over any
// bytes, as a data file whose end is checked and mended before a record:
//  - the torn end starts at a line's start, and reading only the file's
//    last bytes finds the same start as reading it whole;
//  - after the cut and the missing line break, a record appended is the
//    file's last record, nothing is torn and no line break is missing, and
//    the chart reads one record more than before;
//  - the bytes (the newest record of a run, the chart) and the decoded
//    text (the export) find records in the same files, and the chart reads
//    the same hours, values and counts from either.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "datafile/Format.h"
#include "datafile/History.h"
#include "platform/Cp936.h"

namespace {

using namespace vantoril;

// A record as the program writes it, at 2026-12-07 14.
std::string record() {
  std::string text = "\xCA\xFD\xBE\xDD\xBC\xC7\xC2\xBC\xCA\xB1\xBC\xE4:2026120714\r\n"
                     "\xD5\xFB\xB5\xE3\t\xC6\xF8\xCE\xC2\t\xBD\xB5\xCB\xAE\t\xCA\xAA\xB6\xC8\r\n";
  for (int r = 0; r < datafile::kRecordRows; ++r) text += std::to_string(r) + "\t-1.5\t\t" + std::to_string(50 + r) + "\r\n";
  return text + "\r\n";
}

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

int records(std::string_view bytes) {
  return datafile::readHistoryText(cp936::decode(bytes.substr(datafile::byteOrderMark(bytes)))).records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks where a read of the file's last bytes starts.
  const std::size_t from = data[0] % size;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const auto torn = datafile::tornFrom(bytes, true);
  CHECK(torn && *torn <= bytes.size());
  // At a line's start: the file's first line starts after its byte-order mark.
  CHECK(*torn == datafile::byteOrderMark(bytes) || *torn == bytes.size() || bytes[*torn - 1] == '\n' ||
        bytes[*torn - 1] == '\r');
  if (from > 0 && from < bytes.size()) {
    const std::string_view end = bytes.substr(from);
    const auto tail = datafile::tornFrom(end, false);
    const std::size_t firstLine = end.find_first_of("\r\n");
    CHECK(tail.has_value() == (firstLine != std::string_view::npos));
    if (tail && *torn < bytes.size() && *torn > from + firstLine) CHECK(from + *tail == *torn);
  }

  const std::string_view kept = bytes.substr(0, *torn);
  std::string mended(kept);
  mended += datafile::missingLineBreak(kept);
  mended += record();
  CHECK(datafile::tornFrom(mended, true) == mended.size());
  CHECK(datafile::missingLineBreak(mended).empty());
  CHECK(datafile::lastRecordHourIn(mended, true) == datafile::parseHour(std::string_view("2026120714")));
  CHECK(records(mended) == records(kept) + 1);

  CHECK(datafile::lastRecordHourIn(bytes, true).has_value() == (records(bytes) > 0));

  // The chart reads the bytes as it reads the text they decode to.
  const std::string_view body = bytes.substr(datafile::byteOrderMark(bytes));
  const datafile::History fromBytes = datafile::readHistoryBytes(body), fromText = datafile::readHistoryText(cp936::decode(body));
  CHECK(fromBytes.records == fromText.records && fromBytes.skippedLines == fromText.skippedLines);
  CHECK(fromBytes.nonNumbers == fromText.nonNumbers && fromBytes.lastObservation == fromText.lastObservation);
  CHECK(fromBytes.hours.size() == fromText.hours.size());
  for (std::size_t k = 0; k < fromBytes.hours.size() && k < fromText.hours.size(); ++k) {
    const datafile::HourValues &a = fromBytes.hours[k], &b = fromText.hours[k];
    CHECK(a.hour == b.hour && same(a.temperature, b.temperature) && same(a.precipitation, b.precipitation) &&
          same(a.humidity, b.humidity));
  }
  return 0;
}
