#include "datafile/RecordedValue.h"

#include <algorithm>

namespace vantoril::datafile {

bool plainNumber(std::u16string_view text) {
  if (text.size() > kMostNumberCharacters) return false;
  if (text.starts_with(u'-')) text.remove_prefix(1);
  const auto digits = [](std::u16string_view d) {
    return !d.empty() && std::all_of(d.begin(), d.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
  };
  const std::size_t point = text.find(u'.');
  if (point == std::u16string_view::npos) return digits(text);
  return digits(text.substr(0, point)) && digits(text.substr(point + 1));
}

bool recordedValue(std::u16string_view text) {
  return text.empty() || text == u"null" || text == u"-" || text == u"--" || plainNumber(text);
}

}  // namespace vantoril::datafile
