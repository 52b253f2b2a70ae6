// Fuzz target: what a user types into the search box of "按名称添加地名…",
// as any bytes, searched in the site's place list. Every place found must
// match the text by the rule its kind of text names, in rank order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "places/PlaceSearch.h"
#include "places/PlaceTable.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto matches = places::search(places::table(), text, 500);
  CHECK(matches.size() <= 500);
  std::string_view query = text;
  while (!query.empty() && std::string_view(" \t\r\n").find(query.front()) != std::string_view::npos)
    query.remove_prefix(1);
  while (!query.empty() && std::string_view(" \t\r\n").find(query.back()) != std::string_view::npos)
    query.remove_suffix(1);
  const std::string lower = lowerAscii(query);
  for (std::size_t i = 0; i < matches.size(); ++i) {
    const places::Place& p = *matches[i].place;
    if (i > 0) CHECK(matches[i - 1].rank <= matches[i].rank);
    const bool exact = matches[i].rank == places::MatchRank::Exact;
    const std::string full = std::string(p.province) + std::string(p.city) + std::string(p.district);
    const std::string noCity = std::string(p.province) + std::string(p.district);
    const std::string noDistrict = std::string(p.province) + std::string(p.city);
    const std::string one = std::string(p.province);
    const auto inName = [&](std::string_view part) {
      // Each level once: 北京 北京 朝阳 is "北京朝阳", 辽宁 朝阳 朝阳 is "辽宁朝阳".
      for (const std::string* name : {&full, &noCity, &noDistrict, &one})
        if (name->find(part) != std::string::npos) return true;
      return false;
    };
    CHECK(p.code.starts_with(query) || p.pinyin.starts_with(lower) || inName(query));
    if (exact) CHECK(p.code == query || p.pinyin == lower || p.district == query || inName(query));
  }
  // The dialog shows the same places, as text that UTF-16 holds whole.
  places::PlaceSearch dialog;
  dialog.setText(fromUtf8(text));
  CHECK(dialog.rows().size() <= places::kShownMatches);
  for (const auto& row : dialog.rows()) CHECK(row.find(u'\uFFFD') == std::u16string::npos);
  return 0;
}
