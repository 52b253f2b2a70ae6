#pragma once
// The dialog "按名称添加地名…" as a model both windows drive: the text of
// the search box, the rows it finds and the row chosen.
#include <string>
#include <string_view>
#include <vector>

#include "places/PlaceTable.h"

namespace vantoril::places {

// The dialog shows at most this many rows, the best.
inline constexpr std::size_t kShownMatches = 300;

// The dialog's caption and the prompt above its search box.
inline constexpr std::u16string_view kSearchTitle = u"按名称添加地名";
inline constexpr std::u16string_view kSearchPrompt = u"地名、拼音或代码：";

class PlaceSearch {
 public:
  explicit PlaceSearch(const std::vector<Place>& rows = table()) : rows_(rows) {}

  // The box's text changed: the rows found for it, the first chosen.
  void setText(std::u16string_view text);
  const std::vector<std::u16string>& rows() const { return texts_; }
  int chosen() const { return chosen_; }
  // The user moved the choice (a row, or -1 for none).
  void choose(int row);
  // Moves the choice by `step` rows (arrow keys in the search box).
  void move(int step);
  // The code of the chosen place; empty when none is chosen.
  std::string chosenCode() const;

 private:
  const std::vector<Place>& rows_;
  std::vector<Match> matches_;
  std::vector<std::u16string> texts_;
  int chosen_ = -1;
};

}  // namespace vantoril::places
