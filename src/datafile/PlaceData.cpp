#include "datafile/PlaceData.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "chart/ChartPage.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"

namespace vantoril::datafile {

namespace {

// The place's file with this ending beside its data file.
std::string fileOf(const std::string& programFolder, std::u16string_view place, std::string_view ending) {
  std::string file = path(programFolder, place);
  file.resize(file.size() - std::string_view(".xls").size());
  return file + std::string(ending);
}

// The endings of the files that hold a place's records, the data file first.
constexpr std::string_view kRecordFiles[] = {".xls", ".pending", ".landing", ".damaged"};

std::string nameIn(const std::string& file) { return file.substr(file.find_last_of(pathSeparator()) + 1); }

// A rename where the system may find `from` under the name `to` (they
// differ in letter case only, on Windows): by way of a name of its own, as a
// rename onto the same file may change nothing there.
void move(const std::string& from, const std::string& to) {
  if (!fileExists(to)) return renameFile(from, to);
  const std::string between = from + ".renaming";
  renameFile(from, between);
  try {
    renameFile(between, to);
  } catch (const std::exception&) {
    renameFile(between, from);
    throw;
  }
}

}  // namespace

void renamePlace(const std::string& programFolder, std::u16string_view from, std::u16string_view to,
                 const std::function<void()>& renameCatalogue) {
  if (from.empty()) {
    renameCatalogue();
    return;
  }
  // A name is there when the folder lists it as it is written: where names
  // differ in letter case only, the system may find the old file under the
  // new name.
  const std::vector<FolderEntry> listed = listFolder(folder(programFolder));
  const auto there = [&](const std::string& file) {
    const std::string name = nameIn(file);
    return fileExists(file) &&
           std::any_of(listed.begin(), listed.end(), [&](const FolderEntry& e) { return !e.isFolder && e.name == name; });
  };
  std::vector<std::pair<std::string, std::string>> moves;
  for (const std::string_view ending : kRecordFiles) {
    const std::string source = fileOf(programFolder, from, ending), target = fileOf(programFolder, to, ending);
    if (there(target))
      throw Failure("“" + toUtf8(to) + "” 已有数据文件 " + target + "，没有改名（两个地名的记录不能合在一起）");
    if (there(source)) moves.emplace_back(source, target);
  }
  // The page of `to` shows another place's records: the next chart makes it again.
  const std::string page = chart::pagePath(programFolder, from), newPage = chart::pagePath(programFolder, to);
  if (there(newPage) && (there(page) || !moves.empty())) removeFile(newPage);
  if (there(page)) moves.emplace_back(page, newPage);

  std::size_t done = 0;
  try {
    for (; done < moves.size(); ++done) move(moves[done].first, moves[done].second);
    renameCatalogue();
  } catch (const std::exception&) {
    // Back to the old names; a file that cannot go back keeps the new one
    // (the failure's message says which step failed).
    while (done > 0) {
      --done;
      try {
        move(moves[done].second, moves[done].first);
      } catch (const std::exception&) {
      }
    }
    throw;
  }
}

}  // namespace vantoril::datafile
