// Fuzz target: a downloaded page, as any bytes, through everything the
// recording run does with it short of the disk: UTF-8 decoding, the block
// cut, the observation time, the four series, the record text and its GBK
// bytes. Failures must be the program's own, with a message; anything else
// (a crash, a sanitizer report, a broken invariant) is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Check.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "recording/DataFile.h"
#include "recording/Observation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::u16string page = fromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  BlockCut cut;
  try {
    cut = cutBlock(page);
  } catch (const Failure& f) {
    CHECK(*f.what() != '\0');
    return 0;
  }
  // The block is the page's own text from the start marker on, cut short
  // where the page ends sooner than the length says.
  CHECK(cut.start >= 1 && cut.start - 1 + cut.block.size() <= page.size());
  CHECK(cut.block.size() == std::min(cut.length, page.size() - (cut.start - 1)));
  CHECK(std::u16string_view(page).substr(cut.start - 1, cut.length) == cut.block);
  // An end marker just before the start marker gives a block shorter than
  // the start marker.
  CHECK(std::u16string_view(u"observe24h_data").starts_with(cut.block) ||
        cut.block.starts_with(u"observe24h_data"));

  const ObservationTime time = observationTime(cut.block);
  CHECK(time.time.size() <= 10);

  SeriesLists lists;
  try {
    extractSeries(cut.block, u"od21", "hourly", lists.hour);
    extractSeries(cut.block, u"od22", "temperature", lists.temperature);
    extractSeries(cut.block, u"od26", "precipitation", lists.precipitation);
    extractSeries(cut.block, u"od27", "humidity", lists.humidity);
  } catch (const Failure& f) {
    CHECK(*f.what() != '\0');
    return 0;
  }
  for (const SeriesList* list : {&lists.hour, &lists.temperature, &lists.precipitation, &lists.humidity}) {
    for (int e = 1; e <= kSeriesEntries; ++e) {
      // A value never runs past a quotation mark, nor out of the block.
      CHECK(list->values[e].find(u'"') == std::u16string::npos);
      CHECK(list->values[e].size() <= cut.block.size());
    }
    (void)displayText(list->values);
    (void)displayText(list->keyPositions);
  }
  const std::u16string record = datafile::recordText(time.time, lists);
  CHECK(record.starts_with(u"数据记录时间:"));
  CHECK(record.ends_with(u"\r\n"));
  const std::string bytes = cp936::encode(record);
  // GBK keeps every line end and tab of the record (a character it cannot
  // hold becomes "?", never a control character).
  CHECK(std::count(bytes.begin(), bytes.end(), '\n') == std::count(record.begin(), record.end(), u'\n'));
  CHECK(std::count(bytes.begin(), bytes.end(), '\t') == std::count(record.begin(), record.end(), u'\t'));
  return 0;
}
