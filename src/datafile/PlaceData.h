#pragma once
// A place's files in the data folder, taken along when the place is renamed.
#include <functional>
#include <string>
#include <string_view>

namespace vantoril::datafile {

// Gives the place `from` the name `to`: its data file, pending file,
// landing note, damaged bytes and chart page, then its catalogue file
// `catalogueFrom` becomes `catalogueTo`. Refused (Failure naming the file,
// nothing moved) where a file of `to` that holds records is there already:
// its data file, pending file, landing note or damaged bytes. A chart page
// of `to` goes (it shows another place's records). An empty `from` (the
// stray catalogue file) has no data to take.
//
// The rename is one step, never half: what it is about to move is written
// first to the rename note (renameNotePath), on disk before the first file
// moves; the catalogue file's rename is the step that makes it done. When
// a step fails, the files moved before it go back and the step's Failure is
// thrown. After a crash, settleRename finishes it. The caller holds the run
// lock, so that no recording run writes a file of either name meanwhile.
// `afterStep`, if given, is called after the note is written and after
// each rename of a file (a test stops the process there).
void renamePlace(const std::string& programFolder, std::u16string_view from, std::u16string_view to,
                 const std::string& catalogueFrom, const std::string& catalogueTo,
                 const std::function<void()>& afterStep = {});

// "WeatherData/vantoril-rename.note": the files a rename moves, while it moves them.
std::string renameNotePath(const std::string& programFolder);

// Finishes a rename a crash left half done, as its note says: where the
// catalogue file has its new name, every file of the place gets the new
// name too; else every file goes back to the old name. Then the note goes.
// False, doing nothing, without a note. Throws Failure where a file cannot
// be moved (the note stays for the next call). Run under the run lock,
// before anything reads or writes a place's files: the window's start-up
// and every recording run call it.
bool settleRename(const std::string& programFolder);

}  // namespace vantoril::datafile
