#include "catalogue/NamedPlaces.h"

#include <set>

#include "catalogue/Catalogue.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"

namespace vantoril::catalogue {

void requireNamedPlaces(const std::string& programFolder, const std::vector<std::string>& names, PlaceNeed need) {
  if (names.empty()) return;
  std::set<std::u16string> listed;
  scan(folder(programFolder), [&](const std::u16string& place, const std::string&) { listed.insert(place); });
  std::string unknown;
  int count = 0;
  for (const std::string& name : names) {
    const std::u16string place = fileNameText(name);
    // A name holding a separator would reach outside the folders.
    const bool plain = !place.empty() && place.find_first_of(u"/\\") == std::u16string::npos;
    const bool known = plain && (listed.contains(place) ||
                                 (need == PlaceNeed::ListedOrRecorded &&
                                  (fileExists(datafile::path(programFolder, place)) ||
                                   fileExists(datafile::pendingPath(programFolder, place)))));
    if (!known) unknown += (count++ == 0 ? "“" : "、“") + name + "”";
  }
  if (unknown.empty()) return;
  throw BadArgument(std::string(count == 1 ? "没有这个地名：" : "没有这些地名：") + unknown +
                    (need == PlaceNeed::Listed ? "（地名列表里没有）" : "（地名列表里没有，也没有它的记录）") +
                    "\n地名列表在 " + folder(programFolder));
}

}  // namespace vantoril::catalogue
