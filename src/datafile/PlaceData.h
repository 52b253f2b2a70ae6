#pragma once
// A place's files in the data folder, taken along when the place is renamed.
#include <functional>
#include <string>
#include <string_view>

namespace vantoril::datafile {

// Gives the place `from` the name `to`: its data file, pending file,
// landing note, damaged bytes and chart page, then `renameCatalogue` (the
// catalogue file's rename). Refused (Failure naming the file, nothing
// moved) where a file of `to` that holds records is there already: its data
// file, pending file, landing note or damaged bytes. A chart page of `to`
// goes (it shows another place's records). When a step fails, the files
// moved before it go back and the step's Failure is thrown. An empty `from`
// (the stray catalogue file) has no data to take.
void renamePlace(const std::string& programFolder, std::u16string_view from, std::u16string_view to,
                 const std::function<void()>& renameCatalogue);

}  // namespace vantoril::datafile
