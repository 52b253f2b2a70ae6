#include "datafile/PlaceData.h"

#include <algorithm>
#include <exception>
#include <optional>
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

// The folder of a path the program built, and the name in it ('/' also
// separates on Windows).
std::size_t lastSeparator(const std::string& file) {
  const char separators[] = {'/', pathSeparator(), '\0'};
  return file.find_last_of(separators);
}
std::string nameIn(const std::string& file) { return file.substr(lastSeparator(file) + 1); }
std::string folderOf(const std::string& file) { return file.substr(0, lastSeparator(file)); }

using Step = std::function<void()>;
using Move = std::pair<std::string, std::string>;

// The name a file has between its two names, in a move where the system
// finds `from` under the name `to` (they differ in letter case only, on
// Windows): a rename onto the same file may change nothing there.
std::string between(const std::string& from) { return from + ".renaming"; }

void moveFile(const std::string& from, const std::string& to, const Step& step) {
  if (!fileExists(to)) {
    renameFile(from, to);
    step();
    return;
  }
  renameFile(from, between(from));
  step();
  try {
    renameFile(between(from), to);
  } catch (const std::exception&) {
    renameFile(between(from), from);
    throw;
  }
  step();
}

// The files of folders as they are listed, each name as it is written:
// where names differ in letter case only, the system may find the old file
// under the new name.
class Listing {
 public:
  bool has(const std::string& file) {
    const std::string folder = folderOf(file);
    auto it = std::find_if(folders_.begin(), folders_.end(), [&](const auto& f) { return f.first == folder; });
    if (it == folders_.end()) it = folders_.emplace(folders_.end(), folder, listFolder(folder));
    const std::string name = nameIn(file);
    return std::any_of(it->second.begin(), it->second.end(),
                       [&](const FolderEntry& e) { return !e.isFolder && e.name == name; });
  }

 private:
  std::vector<std::pair<std::string, std::vector<FolderEntry>>> folders_;
};

// The note: a first line, then each move as its two paths, the catalogue
// file's first, each path ended by a NUL (no file name holds one) and
// marked "r" when it is relative to the program folder, "a" when it is not.
constexpr std::string_view kNoteStart = "vantoril rename\r\n";

std::string noteText(const std::string& programFolder, const std::vector<Move>& moves) {
  const std::string base = programFolder + pathSeparator();
  std::string text(kNoteStart);
  for (const Move& m : moves)
    for (const std::string* p : {&m.first, &m.second}) {
      text += p->starts_with(base) ? "r" + p->substr(base.size()) : "a" + *p;
      text += '\0';
    }
  return text;
}

std::vector<Move> noteMoves(const std::string& programFolder, const std::string& note, const std::string& text) {
  const auto broken = [&] { return Failure("改名记录文件 " + note + " 不完整，请查看后删除它"); };
  if (!text.starts_with(kNoteStart) || text.back() != '\0') throw broken();
  std::vector<std::string> paths;
  for (std::size_t at = kNoteStart.size(); at < text.size();) {
    const std::size_t end = text.find('\0', at);
    const std::string field = text.substr(at, end - at);
    if (field.size() < 2 || (field[0] != 'r' && field[0] != 'a')) throw broken();
    paths.push_back(field[0] == 'r' ? programFolder + pathSeparator() + field.substr(1) : field.substr(1));
    at = end + 1;
  }
  if (paths.size() < 4 || paths.size() % 2 != 0) throw broken();
  std::vector<Move> moves;
  for (std::size_t k = 0; k < paths.size(); k += 2) moves.emplace_back(paths[k], paths[k + 1]);
  return moves;
}

}  // namespace

std::string renameNotePath(const std::string& programFolder) {
  return folder(programFolder) + pathSeparator() + "vantoril-rename.note";
}

bool settleRename(const std::string& programFolder) {
  const std::string note = renameNotePath(programFolder);
  // A note a crash left half-written under its temporary name is no note.
  try {
    removeFileIfExists(temporaryPath(note));
  } catch (const Failure&) {
  }
  const std::optional<std::string> text = readFileIfExists(note);
  if (!text) return false;
  const std::vector<Move> moves = noteMoves(programFolder, note, *text);
  Listing listed;
  // Done once the catalogue file has its new name: the rest follows it.
  const bool done = listed.has(moves[0].second) && !listed.has(moves[0].first);
  // A catalogue file caught between its two names had not its new one yet.
  if (listed.has(between(moves[0].first))) renameFile(between(moves[0].first), moves[0].first);
  for (std::size_t k = 1; k < moves.size(); ++k) {
    const std::string& from = done ? moves[k].first : moves[k].second;
    const std::string& to = done ? moves[k].second : moves[k].first;
    const auto there = [&](const std::string& file) { return listed.has(file) && fileExists(file); };
    if (there(to) && (there(from) || there(between(from)) || there(between(to))))
      throw Failure("改名没有完成：" + from + " 和 " + to + " 都在，请查看后删除其中一个，再删除改名记录文件 " + note);
    if (there(between(from))) renameFile(between(from), to);
    else if (there(between(to))) renameFile(between(to), to);
    else if (there(from)) moveFile(from, to, [] {});
  }
  syncFolder(folder(programFolder));
  removeFile(note);
  return true;
}

void renamePlace(const std::string& programFolder, std::u16string_view from, std::u16string_view to,
                 const std::string& catalogueFrom, const std::string& catalogueTo, const Step& afterStep) {
  const Step step = afterStep ? afterStep : [] {};
  if (from.empty()) {
    renameFile(catalogueFrom, catalogueTo);
    return;
  }
  // A rename a crash left half done is finished first.
  settleRename(programFolder);
  Listing listed;
  const auto there = [&](const std::string& file) { return fileExists(file) && listed.has(file); };
  std::vector<Move> moves{{catalogueFrom, catalogueTo}};
  for (const std::string_view ending : kRecordFiles) {
    const std::string source = fileOf(programFolder, from, ending), target = fileOf(programFolder, to, ending);
    if (there(target))
      throw Failure("“" + toUtf8(to) + "” 已有数据文件 " + target + "，没有改名（两个地名的记录不能合在一起）");
    if (there(source)) moves.emplace_back(source, target);
  }
  // The page of `to` shows another place's records: the next chart makes it again.
  const std::string page = chart::pagePath(programFolder, from), newPage = chart::pagePath(programFolder, to);
  if (there(newPage) && (there(page) || moves.size() > 1)) removeFile(newPage);
  if (there(page)) moves.emplace_back(page, newPage);
  if (moves.size() == 1) {
    renameFile(catalogueFrom, catalogueTo);
    return;
  }

  // The note on disk before the first file moves.
  const std::string note = renameNotePath(programFolder);
  replaceFile(note, noteText(programFolder, moves));
  try {
    step();
    for (std::size_t k = 1; k < moves.size(); ++k) moveFile(moves[k].first, moves[k].second, step);
    moveFile(catalogueFrom, catalogueTo, step);
  } catch (const std::exception&) {
    // Back to the old names, as after a crash; what cannot go back yet
    // goes at the next start or run (the note stays).
    try {
      settleRename(programFolder);
    } catch (const std::exception&) {
    }
    throw;
  }
  // Done; the note goes once the new names are on disk.
  try {
    syncFolder(folder(programFolder));
    syncFolder(folderOf(catalogueTo));
    removeFile(note);
  } catch (const Failure&) {
  }
}

}  // namespace vantoril::datafile
