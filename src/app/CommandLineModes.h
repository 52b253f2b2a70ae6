#pragma once
// The program's own command line, the same on every system: no argument
// opens the window; every other mode is one option, declared in one table.
#include <functional>
#include <string>
#include <vector>

namespace vantoril {

// Runs the mode the arguments name (UTF-8, without the program's name) over
// the folder of the places and the data (dataFolder(), which `programFolder`
// gives, asked only by a mode that uses it: finding it can make the user's
// folder) and returns the process exit code: 0 for success, 2 for arguments
// that name no mode, or a place or time the program does not know
// (BadArgument; said on stderr). `openWindow` runs the window when there is
// no argument.
int runCommandLine(const std::vector<std::string>& arguments, const std::function<std::string()>& programFolder,
                   const std::function<int()>& openWindow);

// The value of --schedule as the mode takes it: "off" in any letter case
// as "off", the empty text (the state) as it is, else times of day that
// parseTimes reads; other text throws BadArgument.
std::string scheduleArgument(const std::string& value);

}  // namespace vantoril
