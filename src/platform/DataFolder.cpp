#include "platform/FileSystem.h"

namespace vantoril {

std::string dataFolder(const std::string& programFolder) {
  return folderWritable(programFolder) ? programFolder : userDataFolder();
}

}  // namespace vantoril
