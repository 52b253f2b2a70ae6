#include "platform/RunLock.h"

#include "platform/FileSystem.h"

namespace vantoril {

std::string runLockPath(const std::string& folder) { return folder + pathSeparator() + kRunLockFileName; }

}  // namespace vantoril
