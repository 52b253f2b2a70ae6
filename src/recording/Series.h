#pragma once
// The four observation series of one place, each with its key positions
// and value starts. Entries 1 to 25 carry data; entry 0 is never used.
#include <array>
#include <string>
#include <string_view>

namespace vantoril {

inline constexpr int kSeriesEntries = 25;

struct SeriesList {
  std::array<std::u16string, kSeriesEntries + 1> keyPositions, valueStarts, values;
  void empty();  // entries 25 down to 1 of all three lists
};

struct SeriesLists {
  SeriesList hour, temperature, precipitation, humidity;
  void empty();
};

}  // namespace vantoril
