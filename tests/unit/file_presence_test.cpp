// Reading or appending to a file only where it is: the same answer on every
// system as the existence test gives.
#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

using test::TempFolder;

TEST(FilePresence, ReadingAndAppendingIfThereFollowTheExistenceTest) {
  TempFolder folder;
  writeWholeFile(folder / "place.txt", "http://a\r\n");
  ensureFolder(folder / "folder.txt");
  for (const std::string name : {"place.txt", "folder.txt", "missing.txt", "missing/place.txt"}) {
    SCOPED_TRACE(name);
    const std::string path = folder / name;
    const bool there = fileExists(path);
    const auto read = readFileIfExists(path);
    ASSERT_EQ(read.has_value(), there);
    EXPECT_EQ(appendToExistingFile(path, "x"), there);
    EXPECT_EQ(fileExists(path), there);  // nothing made where nothing was
    if (there) {
      EXPECT_EQ(readWholeFile(path), *read + "x");
    }
  }
}

}  // namespace
}  // namespace vantoril
