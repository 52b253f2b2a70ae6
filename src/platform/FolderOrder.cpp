// The order in which NTFS lists a folder, whatever file system holds it.
#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril {

namespace {

// NTFS compares names through its upper-case table; this covers the
// letters that have a one-to-one upper case in the ranges names use
// (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic, full-width Latin).
char16_t upper(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
    return static_cast<char16_t>(c - 0x20);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17E && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149) {
    // Pairs: even upper, odd lower, except 0x139-0x148 and 0x179-0x17E where odd is upper.
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool isLower = oddUpper ? (c % 2 == 0) : (c % 2 == 1);
    return isLower ? static_cast<char16_t>(c - 1) : c;
  }
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

}  // namespace

std::u16string ntfsNameKey(std::string_view name) {
  std::u16string k = fileNameText(name);
  for (char16_t& c : k) c = upper(c);
  return k;
}

void sortLikeNtfs(std::vector<FolderEntry>& entries) {
  std::vector<std::pair<std::u16string, FolderEntry>> keyed;
  keyed.reserve(entries.size());
  for (auto& e : entries) keyed.emplace_back(ntfsNameKey(e.name), std::move(e));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < keyed.size(); ++i) entries[i] = std::move(keyed[i].second);
}

}  // namespace vantoril
