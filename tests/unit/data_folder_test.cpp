// Which folder holds the places and the data: the program folder while the
// program may write it, on every system.
#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

using test::TempFolder;

TEST(DataFolder, OnlyAFolderTheProgramMayCreateFilesInCountsAsWritable) {
  TempFolder folder;
  struct Case {
    std::string folder;
    bool writable;
  };
  const Case cases[] = {
      {folder.path(), true},
      {folder / "missing", false},
  };
  for (const Case& c : cases) EXPECT_EQ(folderWritable(c.folder), c.writable) << c.folder;
  // The trial leaves nothing behind.
  EXPECT_TRUE(listFolder(folder.path()).empty());
  // A writable program folder keeps the places and the data beside the program.
  EXPECT_EQ(dataFolder(folder.path()), folder.path());
}

}  // namespace
}  // namespace vantoril
