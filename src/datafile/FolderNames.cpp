#include "datafile/FolderNames.h"

#include <exception>

#include "platform/FileSystem.h"

namespace vantoril::datafile {

namespace {

// Longer than any file system's tick for a folder's time (FAT's 2 s).
constexpr std::chrono::seconds kSettled{3};

}  // namespace

void FolderNames::look() {
  // The clock first: a change after it cannot show the time looked at.
  const auto now = std::chrono::system_clock::now();
  const auto changedAt = folderChangedAt(folder_);
  if (listed_ && changedAt == changedAt_) return;
  listed_ = false;
  keys_.clear();
  if (!changedAt || *changedAt >= now - kSettled) return;
  listNow();
  changedAt_ = changedAt;
}

void FolderNames::listNow() {
  listed_ = false;
  keys_.clear();
  try {
    for (const FolderEntry& entry : listFolder(folder_))
      if (!entry.isFolder) keys_.insert(ntfsNameKey(entry.name));
  } catch (const std::exception&) {
    keys_.clear();  // every file looked for, as without a listing
    return;
  }
  listed_ = true;
}

bool FolderNames::mayHold(const std::string& path) const {
  if (!listed_) return true;
  const std::size_t slash = path.find_last_of("/\\");
  return keys_.contains(ntfsNameKey(slash == std::string::npos ? path : path.substr(slash + 1)));
}

}  // namespace vantoril::datafile
