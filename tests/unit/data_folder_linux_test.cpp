// The data folder's rule that only Linux has: /usr belongs to the package
// manager.
#include <gtest/gtest.h>

#include "platform/FileSystem.h"

namespace vantoril {
namespace {

TEST(DataFolderLinux, AFolderUnderUsrIsNeverWrittenEvenByRoot) {
  for (const char* folder : {"/usr", "/usr/lib", "/usr/lib/vantoril", "/usr/local/lib"}) {
    EXPECT_FALSE(folderWritable(folder)) << folder;
  }
}

}  // namespace
}  // namespace vantoril
