#include "recording/Observation.h"

#include <algorithm>
#include <cstring>

#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril {

namespace {

constexpr std::u16string_view kBlanks = u" \t\r\n";

std::u16string_view trimBlanks(std::u16string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::u16string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

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

namespace {

const char* const noStartMarker = "网页中没有观测数据的开始标记 “observe24h_data”";
const char* const noEndMarker = "网页中没有观测数据的结束标记 “weatherChart”";
const char* const endBeforeStart = "网页中观测数据的结束标记 “weatherChart” 在开始标记 “observe24h_data” 之前";

// The first occurrence of a marker in a page's bytes, or npos. memchr
// finds the byte of the marker that is rarest in a page (an underscore,
// else a capital, else a digit, else its last byte) and each find is
// checked whole.
std::size_t findMarker(std::string_view bytes, std::string_view marker) {
  std::size_t anchor = marker.size() - 1;
  for (const std::string_view rare : {"_", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789"}) {
    if (const std::size_t at = marker.find_first_of(rare); at != std::string_view::npos) {
      anchor = at;
      break;
    }
  }
  for (std::size_t from = anchor; from < bytes.size();) {
    const void* hit = std::memchr(bytes.data() + from, marker[anchor], bytes.size() - from);
    if (hit == nullptr) break;
    const std::size_t found = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
    if (bytes.substr(found - anchor, marker.size()) == marker) return found - anchor;
    from = found + 1;
  }
  return std::string_view::npos;
}

}  // namespace

BlockCut cutBlock(std::u16string_view page) {
  constexpr std::u16string_view startMarker = u"observe24h_data", endMarker = u"weatherChart";
  const std::size_t start = findPosition(page, startMarker);
  if (start == 0) throw Failure(noStartMarker);
  const std::size_t end = findPosition(page, endMarker);
  if (end == 0) throw Failure(noEndMarker);
  if (end + 14 < start) throw Failure(endBeforeStart);
  BlockCut cut;
  cut.length = end + 14 - start;
  cut.block.assign(page.substr(start - 1, cut.length));
  return cut;
}

BlockCut cutBlock(const page::Fetched& page) {
  if (!page.utf8) return cutBlock(std::u16string_view(page.text));
  // The markers are ASCII, and an ASCII byte is a character of its own:
  // the first occurrence in the bytes is the first in the text, and the
  // characters between the two are those the bytes between them give.
  const std::string_view bytes = page.bytes;
  const std::size_t startByte = findMarker(bytes, "observe24h_data");
  if (startByte == std::string_view::npos) throw Failure(noStartMarker);
  const std::size_t endByte = findMarker(bytes, "weatherChart");
  if (endByte == std::string_view::npos) throw Failure(noEndMarker);
  BlockCut cut;
  if (endByte < startByte) {
    // An end marker up to 14 characters before the start shortens the
    // block; further before, it is a failure.
    const std::size_t before = utf16Length(bytes.substr(endByte, startByte - endByte));
    if (before > 14) throw Failure(endBeforeStart);
    cut.length = 14 - before;
  } else {
    cut.length = utf16Length(bytes.substr(startByte, endByte - startByte)) + 14;
  }
  cut.block = fromUtf8(bytes.substr(startByte), cut.length);
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
  KeyPositions at;
  if (block.size() > key.size()) {
    const std::u16string_view searched = block.substr(0, block.size() - 1);
    const TextSearch search(key);
    for (std::size_t found = search.find(searched); found != std::u16string_view::npos && at.size() < kSeriesEntries;
         found = search.find(searched, found + 1)) {
      at.push_back(found);
    }
  }
  extractSeries(block, {key, seriesName, nullptr}, at, list);
}

std::array<KeyPositions, std::size(kSeriesKeys)> findSeriesKeys(std::u16string_view block) {
  // The keys differ only in their last character: the pass looks for what
  // they share and tells them apart there.
  static constexpr std::u16string_view shared = kSeriesKeys[0].key.substr(0, kSeriesKeys[0].key.size() - 1);
  static_assert([] {
    for (const SeriesKey& series : kSeriesKeys)
      if (series.key.size() != shared.size() + 1 || !series.key.starts_with(shared)) return false;
    return true;
  }());
  std::array<KeyPositions, std::size(kSeriesKeys)> at;
  if (block.empty()) return at;
  // One pass over the block for all the keys, as extractSeries searches
  // each: a key that ends the block is not counted.
  const std::u16string_view searched = block.substr(0, block.size() - 1);
  const std::size_t last = shared.size();
  for (std::size_t p = searched.find(shared); p != std::u16string_view::npos && p + last < searched.size();
       p = searched.find(shared, p + 1)) {
    for (std::size_t s = 0; s < std::size(kSeriesKeys); ++s)
      if (searched[p + last] == kSeriesKeys[s].key[last] && at[s].size() < kSeriesEntries) at[s].push_back(p);
  }
  return at;
}

void extractSeries(std::u16string_view block, const SeriesKey& series, const KeyPositions& at, SeriesList& list) {
  const int count = static_cast<int>(std::min<std::size_t>(at.size(), kSeriesEntries));
  if (count == 0)
    throw Failure("no " + std::string(series.name) + " values (" + toUtf8(series.key) + ") in the observation block");
  for (int i = kSeriesEntries; i >= 1; --i) {
    if (i > count) {  // fewer than 25 occurrences: the missing entries stay empty
      list.keyPositions[i].clear();
      list.valueStarts[i].clear();
      list.values[i].clear();
      continue;
    }
    list.keyPositions[i] = decimal(static_cast<long long>(at[i - 1] + 1));
    // After `"odNN":` (key position + 6), and any blanks there, a quoted
    // value runs from its opening quotation mark + 1 to the next quotation
    // mark; a bare number from key position + 6 up to the next `,`, `}` or
    // `]`, blanks trimmed.
    const std::size_t afterColon = at[i - 1] + 1 + 6;  // 1-based
    const bool past = afterColon - 1 >= block.size();
    const std::size_t first = past ? afterColon - 1 : block.find_first_not_of(kBlanks, afterColon - 1);  // 0-based
    const bool bare = !past && (first == std::u16string_view::npos || block[first] != u'"');
    const std::size_t valueStart = past ? afterColon + 1 : bare ? afterColon : first + 2;
    list.valueStarts[i] = decimal(static_cast<long long>(valueStart));
    list.values[i].clear();
    if (valueStart - 1 < block.size()) {
      const std::size_t end = bare ? block.find_first_of(u",}]", valueStart - 1) : block.find(u'"', valueStart - 1);
      if (end != std::u16string_view::npos) {
        std::u16string_view value = block.substr(valueStart - 1, end - (valueStart - 1));
        if (bare) value = trimBlanks(value);
        list.values[i].assign(value);
      }
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
