#pragma once
// The run lock of a data folder: the file "vantoril.lock" in the folder
// that holds WebSite and WeatherData, locked by the system (flock on Linux,
// LockFileEx on Windows; RunLock_linux.cpp, RunLock_win32.cpp). The file
// stays; only its lock says whether a run is going.
#include <memory>
#include <string>

#include "platform/Services.h"

namespace vantoril {

inline constexpr const char* kRunLockFileName = "vantoril.lock";

std::string runLockPath(const std::string& folder);

// The lock of `folder`, not yet taken.
std::unique_ptr<RunLock> makeRunLock(const std::string& folder);

}  // namespace vantoril
