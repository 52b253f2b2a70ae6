#pragma once
// The recording run without a window: start-up, one run, one line per place.
#include <string>

namespace vantoril {

// Returns the process exit code: 0 only when every place was recorded.
int recordHeadless(const std::string& programFolder);

}  // namespace vantoril
