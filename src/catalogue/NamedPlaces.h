#pragma once
// The places a command line names (--chart, --check, --export): a name the
// program does not know is a bad argument, said as such, before any work.
#include <string>
#include <vector>

namespace vantoril::catalogue {

// What makes a name a place a command can work on.
enum class PlaceNeed {
  Listed,              // a place of the list, with its catalogue file
  ListedOrRecorded,    // that, or a place with records (data or pending file)
};

// Checks the names (UTF-8, as the command line gives them) against the list
// the catalogue scan finds in `programFolder` and, as `need` allows, the
// places' data and pending files. Throws BadArgument naming every name that
// is not a place, in the order given; nothing when all are.
void requireNamedPlaces(const std::string& programFolder, const std::vector<std::string>& names, PlaceNeed need);

}  // namespace vantoril::catalogue
