#pragma once
// What a recording run knows of the data folder's names, so that a place's
// turn does not look for files that are almost never there (its pending
// file, landing note, their temporary file, its damaged bytes).
#include <chrono>
#include <optional>
#include <string>
#include <unordered_set>

namespace vantoril::datafile {

class FolderNames {
 public:
  explicit FolderNames(std::string folder) : folder_(std::move(folder)) {}

  // Once a place's turn: one look at when the folder's entries last changed
  // (a file made, renamed or removed there, by this program or another).
  // Unchanged since the folder was listed: what the listing holds stands.
  // Changed, and long enough ago that a later change shows as another time
  // (a file system keeps that time to its tick, FAT to 2 s): listed again.
  // Changed a moment ago: not listed, every file may be there.
  void look();

  // The folder listed now, whatever its time, for a use that is over
  // before the folder changes again (a page written at a run's end).
  void listNow();

  // Whether the file `path` (in the folder) may be there: false only where
  // the folder, as listed at a look, holds no name like its own, letters
  // of either case alike (as Windows finds a file).
  bool mayHold(const std::string& path) const;

 private:
  std::string folder_;
  bool listed_ = false;
  std::optional<std::chrono::system_clock::time_point> changedAt_;
  std::unordered_set<std::u16string> keys_;
};

}  // namespace vantoril::datafile
