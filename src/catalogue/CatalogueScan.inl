#pragma once
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::catalogue {

template <class Add>
void scan(const std::string& folderPath, Add&& add) {
  std::string base = folderPath;
  if (base.empty() || base.back() != pathSeparator()) base += pathSeparator();
  std::vector<std::string> pending;
  std::u16string place;
  for (const FolderEntry& entry : listFolder(base)) {
    if (entry.isFolder) {
      pending.push_back(entry.name);
    } else if (placeNameOf(fileNameText(entry.name), place)) {
      add(place, base + entry.name);
    }
  }
  for (const std::string& sub : pending) scan(base + sub, add);
}

}  // namespace vantoril::catalogue
