#pragma once
#include <string>

namespace vantoril {

// Opens the native window on the model of the program in `programFolder`
// and runs until it is closed; the process exit code.
int runWindow(const std::string& programFolder);

}  // namespace vantoril
