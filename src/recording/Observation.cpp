#include "recording/Observation.h"

#include <algorithm>

#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril {

void SeriesList::empty() {
  for (int k = kSeriesEntries; k >= 1; --k) {
    keyPositions[k].clear();
    valueStarts[k].clear();
    values[k].clear();
  }
}

void SeriesLists::empty() {
  hour.empty();
  temperature.empty();
  precipitation.empty();
  humidity.empty();
}

BlockCut cutBlock(std::u16string_view page) {
  constexpr std::u16string_view startMarker = u"observe24h_data", endMarker = u"weatherChart";
  const std::size_t start = findPosition(page, startMarker);
  if (start == 0) throw Failure("网页中没有观测数据的开始标记 “observe24h_data”");
  const std::size_t end = findPosition(page, endMarker);
  if (end == 0) throw Failure("网页中没有观测数据的结束标记 “weatherChart”");
  if (end + 14 < start) throw Failure("网页中观测数据的结束标记 “weatherChart” 在开始标记 “observe24h_data” 之前");
  BlockCut cut;
  cut.start = start;
  cut.length = end + 14 - start;
  cut.block.assign(page.substr(start - 1, cut.length));
  return cut;
}

ObservationTime observationTime(std::u16string_view block) {
  ObservationTime t;
  t.keyPosition = findPosition(block, u"od0");
  const std::size_t from = t.keyPosition + 6;  // 1-based
  if (from - 1 < block.size()) t.time.assign(block.substr(from - 1, 10));
  return t;
}

void extractSeries(std::u16string_view block, std::u16string_view key, std::string_view seriesName,
                   SeriesList& list) {
  // Key positions: every p from 1 to n - k, so a key that ends the block is not counted.
  int count = 0;
  if (block.size() > key.size()) {
    const std::u16string_view searched = block.substr(0, block.size() - 1);
    const TextSearch search(key);
    for (std::size_t at = search.find(searched); at != std::u16string_view::npos && count < kSeriesEntries;
         at = search.find(searched, at + 1)) {
      list.keyPositions[++count] = decimal(static_cast<long long>(at + 1));
    }
  }
  if (count == 0)
    throw Failure("no " + std::string(seriesName) + " values (" + toUtf8(key) + ") in the observation block");
  for (int i = kSeriesEntries; i >= 1; --i) {
    if (i > count) {  // fewer than 25 occurrences: the missing entries stay empty
      list.keyPositions[i].clear();
      list.valueStarts[i].clear();
      list.values[i].clear();
      continue;
    }
    const std::size_t valueStart = std::stoul(toUtf8(list.keyPositions[i])) + 7;  // 1-based
    list.valueStarts[i] = decimal(static_cast<long long>(valueStart));
    list.values[i].clear();
    if (valueStart - 1 < block.size()) {
      const std::size_t quote = block.find(u'"', valueStart - 1);
      if (quote != std::u16string_view::npos) list.values[i].assign(block.substr(valueStart - 1, quote - (valueStart - 1)));
    }
  }
}

std::u16string displayText(const std::array<std::u16string, kSeriesEntries + 1>& entries) {
  std::u16string text;
  for (int i = kSeriesEntries; i >= 1; --i) {
    text += entries[i];
    text += CRLF;
  }
  return text;
}

}  // namespace vantoril
