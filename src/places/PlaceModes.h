#pragma once
// The command-line modes of the site's place list. Each returns the
// process exit code.
#include <ostream>
#include <string>
#include <vector>

namespace vantoril::places {

// --find TEXT: the matches, best first, one a line: code, province, city,
// district, tab-separated. 1 when nothing matches.
int findMode(const std::string& text, std::ostream& out, std::ostream& err);

// --add CODE or --add TEXT: adds the place as the window's dialog does and
// prints its name. Text that does not name one place best lists the
// matches and gives 2; a refused add gives 1.
int addMode(const std::string& programFolder, const std::string& text, std::ostream& out, std::ostream& err);

// --check [PLACE...]: the page of every place of the list (or of the named
// places, in the order named, each once) downloaded and cut now, nothing
// written, one line per place. 0 only when no page failed or is stale (a
// station of another name is a warning).
int checkMode(const std::string& programFolder, const std::vector<std::string>& places, std::ostream& out,
              std::ostream& err);

}  // namespace vantoril::places
