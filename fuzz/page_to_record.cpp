// Fuzz target: a downloaded page, as any bytes, through everything the
// recording run does with it short of the disk: UTF-8 decoding, the block
// cut, the observation time, the four series, the record text and its GBK
// bytes. Failures must be the program's own, with a message; anything else
// (a crash, a sanitizer report, a broken invariant) is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <utility>

#include "Check.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"
#include "recording/Observation.h"

namespace {

using namespace vantoril;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::size_t number(const std::u16string& text) {
  CHECK(!text.empty() && text.size() < 10 &&
        std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }));
  return std::stoul(toUtf8(text));
}

// What the extraction promises of one series: the first `count` occurrences
// of the key, in block order; after `"odNN":` and any blanks, a quoted value
// from its opening quotation mark up to the next one (empty without one); a
// bare number from key position + 6 up to the next `,`, `}` or `]`, blanks
// trimmed (empty without one), quotation marks and all; nothing in entries
// past the count.
void checkSeries(std::u16string_view block, std::u16string_view key, std::size_t count, const SeriesList& list) {
  std::size_t previous = 0;
  for (std::size_t e = 1; e <= static_cast<std::size_t>(kSeriesEntries); ++e) {
    const std::u16string_view value = list.values[e];
    if (e > count) {
      CHECK(list.keyPositions[e].empty() && list.valueStarts[e].empty() && value.empty());
      continue;
    }
    const std::size_t at = number(list.keyPositions[e]) - 1;  // 0-based
    CHECK(at + key.size() < block.size() && block.substr(at, key.size()) == key);
    CHECK(block.find(key, previous) == at);
    previous = at + 1;
    const std::size_t start = number(list.valueStarts[e]) - 1;  // 0-based
    CHECK(value.size() <= block.size());
    const std::size_t afterColon = at + 6;  // 0-based, the character after `"odNN":`
    if (start == afterColon) {  // bare
      CHECK(afterColon < block.size());
      const std::size_t first = block.find_first_not_of(u" \t\r\n", afterColon);
      CHECK(first == std::u16string_view::npos || block[first] != u'"');
      CHECK(value.find_first_of(u",}]") == std::u16string_view::npos);
      CHECK(value.empty() || (!isBlank(value.front()) && !isBlank(value.back())));
      const std::size_t end = block.find_first_of(u",}]", start);
      if (end == std::u16string_view::npos) {
        CHECK(value.empty());
      } else {
        std::u16string_view between = block.substr(start, end - start);
        const std::size_t lead = between.find(value);
        CHECK(lead != std::u16string_view::npos);
        for (char16_t c : between.substr(0, lead)) CHECK(isBlank(c));
        for (char16_t c : between.substr(lead + value.size())) CHECK(isBlank(c));
      }
    } else {  // quoted
      CHECK(start > afterColon);
      CHECK(value.find(u'"') == std::u16string_view::npos);
      if (afterColon >= block.size()) {
        CHECK(start == afterColon + 1 && value.empty());
        continue;
      }
      CHECK(block[start - 1] == u'"');
      for (char16_t c : block.substr(afterColon, start - 1 - afterColon)) CHECK(isBlank(c));
      const std::size_t close = block.find(u'"', start);
      CHECK(value == (close == std::u16string_view::npos ? std::u16string_view() : block.substr(start, close - start)));
    }
  }
}

}  // namespace

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
  const std::size_t start = page.find(u"observe24h_data");
  CHECK(start != std::u16string::npos && start + cut.block.size() <= page.size());
  CHECK(cut.block.size() == std::min(cut.length, page.size() - start));
  CHECK(std::u16string_view(page).substr(start, cut.length) == cut.block);
  // An end marker just before the start marker gives a block shorter than
  // the start marker.
  CHECK(std::u16string_view(u"observe24h_data").starts_with(cut.block) ||
        cut.block.starts_with(u"observe24h_data"));

  // The time key is the first "od0"; the time the 10 characters from six
  // after it (from position 6 where there is none).
  const ObservationTime time = observationTime(cut.block);
  const std::u16string_view block = cut.block;
  CHECK(time.keyPosition == block.find(u"od0") + 1);
  const std::size_t timeFrom = time.keyPosition + 5;  // 0-based
  CHECK(time.time == (timeFrom < block.size() ? block.substr(timeFrom, 10) : std::u16string_view()));

  // The run's one pass over the block finds what each key's own search finds.
  const auto keys = findSeriesKeys(block);
  for (std::size_t s = 0; s < std::size(kSeriesKeys); ++s) {
    SeriesList bySearch, byPass;
    std::string searchFailure, passFailure;
    try {
      extractSeries(block, kSeriesKeys[s].key, kSeriesKeys[s].name, bySearch);
    } catch (const Failure& f) {
      searchFailure = f.what();
    }
    try {
      extractSeries(block, kSeriesKeys[s], keys[s], byPass);
    } catch (const Failure& f) {
      passFailure = f.what();
    }
    CHECK(searchFailure == passFailure);
    CHECK(bySearch.keyPositions == byPass.keyPositions && bySearch.valueStarts == byPass.valueStarts &&
          bySearch.values == byPass.values);
  }

  SeriesLists lists;
  const std::pair<std::u16string_view, SeriesList*> series[] = {
      {u"od21", &lists.hour}, {u"od22", &lists.temperature}, {u"od26", &lists.precipitation}, {u"od27", &lists.humidity}};
  for (const auto& [key, list] : series) {
    // The occurrences counted: every one but a key that ends the block.
    std::size_t occurrences = 0;
    for (std::size_t at = block.find(key); at != std::u16string_view::npos && at + key.size() < block.size();
         at = block.find(key, at + 1))
      ++occurrences;
    try {
      extractSeries(block, key, "series", *list);
    } catch (const Failure& f) {
      CHECK(*f.what() != '\0');
      CHECK(occurrences == 0);
      return 0;
    }
    checkSeries(block, key, std::min<std::size_t>(occurrences, kSeriesEntries), *list);
    (void)displayText(list->values);
    (void)displayText(list->keyPositions);
  }
  // What the record refuses: a time that is not digits only (at most 14);
  // a value with a control character, of more than 64 characters, or one
  // that starts like a formula and is neither a number nor dashes alone.
  const bool timeRefused = time.time.size() > 14 || std::any_of(time.time.begin(), time.time.end(), [](char16_t c) {
                             return c < u'0' || c > u'9';
                           });
  const auto valueRefused = [](std::u16string_view v) {
    if (std::any_of(v.begin(), v.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; })) return true;
    if (std::count_if(v.begin(), v.end(), [](char16_t c) { return (c & 0xFC00) != 0xDC00; }) > 64)
      return true;
    if (v.empty() || std::u16string_view(u"=+-@").find(v.front()) == std::u16string_view::npos) return false;
    static const std::regex data(R"(-?[0-9]+(\.[0-9]+)?|-+)");
    return !std::regex_match(toUtf8(v), data);
  };
  bool refused = timeRefused;
  for (const SeriesList* list : {&lists.hour, &lists.temperature, &lists.precipitation, &lists.humidity})
    for (int e = 1; e <= kSeriesEntries; ++e) refused = refused || valueRefused(list->values[e]);
  std::u16string record;
  try {
    record = datafile::recordText(time.time, lists);
  } catch (const Failure& f) {
    CHECK(refused);
    CHECK(std::string_view(f.what()).find("观测数据") == 0);
    return 0;
  }
  CHECK(!refused);
  CHECK(record.starts_with(u"数据记录时间:"));
  // 27 lines of CR LF, three tabs in each but the time line.
  CHECK(std::count(record.begin(), record.end(), u'\n') == 27);
  CHECK(std::count(record.begin(), record.end(), u'\r') == 27);
  CHECK(std::count(record.begin(), record.end(), u'\t') == 26 * 3);
  CHECK(record.ends_with(u"\r\n"));
  const std::string bytes = cp936::encode(record);
  // GBK keeps every line end and tab of the record (a character it cannot
  // hold becomes "?", never a control character).
  CHECK(std::count(bytes.begin(), bytes.end(), '\n') == std::count(record.begin(), record.end(), u'\n'));
  CHECK(std::count(bytes.begin(), bytes.end(), '\t') == std::count(record.begin(), record.end(), u'\t'));
  return 0;
}
