#include "places/PlaceTable.h"

#include <algorithm>
#include <utility>

#include "platform/Text.h"

namespace vantoril::places {

extern const unsigned char kSitePlaces[];
extern const std::size_t kSitePlacesSize;

namespace {

constexpr std::string_view kPageAddressStart = "http://www.weather.com.cn/weather1d/";
constexpr std::string_view kPageAddressEnd = ".shtml";

bool allOf(std::string_view text, bool (*test)(char)) {
  return !text.empty() && std::all_of(text.begin(), text.end(), test);
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// How `field` matches `wanted`: whole, from its start, or not at all.
bool rankPrefix(std::string_view field, std::string_view wanted, MatchRank& rank) {
  if (!field.starts_with(wanted)) return false;
  rank = field.size() == wanted.size() ? MatchRank::Exact : MatchRank::Prefix;
  return true;
}

// Province, city and district as one name, each level once: "浙江杭州萧山",
// "北京朝阳" (Beijing's district), "辽宁朝阳" (the city).
void fullName(const Place& place, std::string& name) {
  name.assign(place.province);
  if (place.city != place.province) name += place.city;
  if (place.district != place.city) name += place.district;
}

}  // namespace

std::vector<Place> parseTable(std::string_view tsv) {
  std::vector<Place> rows;
  bool header = true;
  while (!tsv.empty()) {
    const std::size_t end = tsv.find('\n');
    std::string_view line = tsv.substr(0, end);
    tsv.remove_prefix(end == std::string_view::npos ? tsv.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (std::exchange(header, false)) continue;
    std::string_view fields[5];
    std::size_t n = 0;
    for (; n < 5 && !line.empty(); ++n) {
      const std::size_t tab = line.find('\t');
      fields[n] = line.substr(0, tab);
      line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
    }
    if (n == 5 && line.empty() && allOf(fields[0], isDigit) && !fields[3].empty())
      rows.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
  }
  return rows;
}

const std::vector<Place>& table() {
  static const std::vector<Place> rows =
      parseTable(std::string_view(reinterpret_cast<const char*>(kSitePlaces), kSitePlacesSize));
  return rows;
}

std::u16string pageAddress(std::string_view code) {
  std::string address(kPageAddressStart);
  address += code;
  address += kPageAddressEnd;
  return fromUtf8(address);
}

std::u16string listText(const Place& place) {
  std::string text(place.district);
  text += "（";
  text += place.city;
  text += "，";
  text += place.province;
  text += "）";
  text += place.code;
  return fromUtf8(text);
}

std::vector<Match> search(const std::vector<Place>& rows, std::string_view text, std::size_t limit) {
  const std::string_view query = trimmed(text);
  std::vector<Match> found;
  if (query.empty() || limit == 0) return found;
  const std::string lower = lowerAscii(query);
  const bool digits = allOf(query, isDigit);
  const bool letters = allOf(query, isLetter);
  std::string full;
  for (const Place& place : rows) {
    MatchRank rank = MatchRank::Rest;
    bool match = false;
    if (digits) {
      match = rankPrefix(place.code, query, rank);
    } else if (letters) {
      match = rankPrefix(place.pinyin, lower, rank);
    } else if (rankPrefix(place.district, query, rank)) {
      match = true;
    } else {
      // UTF-8 text: a byte match of whole characters is a character match.
      // The levels run together as one name too ("浙江杭州萧山", "北京朝阳").
      fullName(place, full);
      match = full.find(query) != std::string::npos;
      if (full == query) rank = MatchRank::Exact;
    }
    if (rank == MatchRank::Prefix && !digits && place.city == place.district) rank = MatchRank::SeatPrefix;
    if (match) found.push_back({&place, rank});
  }
  std::stable_sort(found.begin(), found.end(), [](const Match& a, const Match& b) { return a.rank < b.rank; });
  if (found.size() > limit) found.resize(limit);
  return found;
}

const Place* byCode(const std::vector<Place>& rows, std::string_view code) {
  for (const Place& place : rows)
    if (place.code == code) return &place;
  return nullptr;
}

std::u16string placeName(const std::vector<Place>& rows, const Place& place,
                         const std::function<bool(std::u16string_view)>& taken) {
  const std::u16string district = fromUtf8(place.district);
  const auto sameDistrict = [&place](const Place& other) { return other.district == place.district; };
  if (!taken(district) && std::count_if(rows.begin(), rows.end(), sameDistrict) <= 1) return district;
  return fromUtf8(place.city != place.district ? place.city : place.province) + district;
}

}  // namespace vantoril::places
