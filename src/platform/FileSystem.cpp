#include "platform/FileSystem.h"

#include "platform/Failure.h"

namespace vantoril {

std::string temporaryPath(const std::string& path) { return path + ".tmp"; }

void appendOrCreateFile(const std::string& path, std::string_view bytes, std::string_view header) {
  if (appendToExistingFile(path, bytes)) return;
  try {
    createNewFile(path, std::string(header) + std::string(bytes));
  } catch (const Failure&) {
    if (!fileExists(path)) throw;
    appendToFile(path, bytes);
  }
}

}  // namespace vantoril
