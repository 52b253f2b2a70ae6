#pragma once
// The site's place list, shipped inside the program: every place code of
// the "中国天气" site with its province, city, district and the district's
// pinyin, and the search the window's dialog and the command line share.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantoril::places {

// One row of the table; UTF-8 views into the table, which lives as long as
// the program. A city's own code has district == city.
struct Place {
  std::string_view code, province, city, district, pinyin;
};

// The rows of a table text: a header line, then one place a line, five
// tab-separated fields. A line of another shape is skipped.
std::vector<Place> parseTable(std::string_view tsv);
// The table compiled into the program, parsed once.
const std::vector<Place>& table();

// The place's page on the site.
std::u16string pageAddress(std::string_view code);
// "district（city，province）code", as the dialog lists it.
std::u16string listText(const Place& place);

// How well a place matches a search: lower is better.
// A seat is a city's own place (its district named as the city: 杭州 of
// 杭州), which a person typing the beginning of a name most often means.
enum class MatchRank { Exact, SeatPrefix, Prefix, Rest };

struct Match {
  const Place* place;
  MatchRank rank;
};

// The places of `rows` that the text (UTF-8, blanks around it ignored)
// names, best first, at most `limit`:
// - digits: a prefix of the code (the whole code is exact);
// - Latin letters, case ignored: a prefix of the pinyin (the whole pinyin
//   is exact);
// - anything else: a part of the province, city and district written one
//   after the other, each level once ("浙江杭州萧山", "北京朝阳"); the whole
//   district or the whole of that name is exact, the district's beginning a
//   prefix, the rest after.
// Of the prefixes of a name or its pinyin, a seat's come first ("杭" lists
// 杭州 before 杭锦旗).
// Equal ranks keep the table's order. Empty text finds nothing.
std::vector<Match> search(const std::vector<Place>& rows, std::string_view text,
                          std::size_t limit = static_cast<std::size_t>(-1));

// The row with this code, or nullptr.
const Place* byCode(const std::vector<Place>& rows, std::string_view code);

// The name a place gets in the list: its district; where that name is taken
// (`taken`) or names more than one place of `rows`, with the level above in
// front: the city, or the province where the city is the district itself.
std::u16string placeName(const std::vector<Place>& rows, const Place& place,
                         const std::function<bool(std::u16string_view)>& taken);

}  // namespace vantoril::places
