#include "places/PlaceSearch.h"

#include <algorithm>

#include "platform/Text.h"

namespace vantoril::places {

void PlaceSearch::setText(std::u16string_view text) {
  matches_ = search(rows_, toUtf8(text), kShownMatches);
  texts_.clear();
  texts_.reserve(matches_.size());
  for (const Match& m : matches_) texts_.push_back(listText(*m.place));
  chosen_ = matches_.empty() ? -1 : 0;
}

void PlaceSearch::choose(int row) { chosen_ = row >= 0 && row < static_cast<int>(matches_.size()) ? row : -1; }

void PlaceSearch::move(int step) {
  if (matches_.empty()) return;
  chosen_ = std::clamp(chosen_ + step, 0, static_cast<int>(matches_.size()) - 1);
}

std::string PlaceSearch::chosenCode() const {
  return chosen_ < 0 ? std::string() : std::string(matches_[static_cast<std::size_t>(chosen_)].place->code);
}

}  // namespace vantoril::places
