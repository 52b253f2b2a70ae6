#pragma once
#include <string>

namespace vantoril {

// Opens the window on the model of the program in `programFolder` and runs
// until it is closed.
int runWindow(int argc, char** argv, const std::string& programFolder);

}  // namespace vantoril
