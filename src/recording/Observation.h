#pragma once
// Cutting a place's page: the observation block, the observation time and
// the four series.
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PageText.h"
#include "recording/Series.h"

namespace vantoril {

struct BlockCut {
  std::size_t length = 0;  // from "observe24h_data" through the 2nd character after "weatherChart"
  std::u16string block;
};

// The block from the first "observe24h_data" through the second character
// after the first "weatherChart" (fewer where the page ends sooner).
// Throws Failure when a marker is missing or the end lies before the start.
BlockCut cutBlock(std::u16string_view page);
// The same cut of a fetched page. A UTF-8 page is searched in its bytes (the
// markers are ASCII) and only the block is decoded.
BlockCut cutBlock(const page::Fetched& page);

struct ObservationTime {
  std::size_t keyPosition = 0;  // 1-based position of "od0"; 0 when absent
  std::u16string time;          // the 10 characters from keyPosition + 6
};
ObservationTime observationTime(std::u16string_view block);

// One series: every occurrence of `key` (a key whose last character is the
// block's last is not counted), at most 25. A quoted value runs from its
// value start (key position + 7, later by the blanks between `"odNN":` and
// its opening quotation mark) up to the next quotation mark; a bare number
// (no quotation mark after `"odNN":` and blanks) from key position + 6 up to
// the next `,`, `}` or `]`, blanks trimmed. Throws Failure
// when the key does not occur at all, naming the series ("hourly").
void extractSeries(std::u16string_view block, std::u16string_view key, std::string_view seriesName,
                   SeriesList& list);

// The four series of a record, in the order a run cuts them: the key, the
// series' name in messages, and its list.
struct SeriesKey {
  std::u16string_view key;
  std::string_view name;
  SeriesList SeriesLists::*list;
};
inline constexpr SeriesKey kSeriesKeys[] = {{u"od21", "hourly", &SeriesLists::hour},
                                            {u"od22", "temperature", &SeriesLists::temperature},
                                            {u"od26", "precipitation", &SeriesLists::precipitation},
                                            {u"od27", "humidity", &SeriesLists::humidity}};

// Where a key occurs in a block (0-based), at most 25 times, in block order.
using KeyPositions = std::vector<std::size_t>;
// The positions extractSeries finds for each key of kSeriesKeys, found in
// one pass over the block.
std::array<KeyPositions, std::size(kSeriesKeys)> findSeriesKeys(std::u16string_view block);
// extractSeries of one series from the positions of its key.
void extractSeries(std::u16string_view block, const SeriesKey& series, const KeyPositions& at, SeriesList& list);

// Entries 25 down to 1, each followed by CR LF.
std::u16string displayText(const std::array<std::u16string, kSeriesEntries + 1>& entries);

}  // namespace vantoril
