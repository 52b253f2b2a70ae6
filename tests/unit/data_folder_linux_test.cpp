// The data folder's rule that only Linux has: /usr belongs to the package
// manager.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/FileSystem.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

TEST(DataFolderLinux, AFolderUnderUsrIsNeverWrittenEvenByRoot) {
  for (const char* folder : {"/usr", "/usr/lib", "/usr/lib/vantoril", "/usr/local/lib"}) {
    EXPECT_FALSE(folderWritable(folder)) << folder;
  }
}

TEST(DataFolderLinux, TheDocumentsFolderIsTheOneXdgUserDirsNamesElseHome) {
  test::TempFolder folder;
  const std::string home = folder / "家";
  std::filesystem::create_directories(std::filesystem::u8path(folder / "config"));
  writeWholeFile(folder / "config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
  const std::string oldHome = std::getenv("HOME");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  std::filesystem::create_directories(std::filesystem::u8path(home));
  EXPECT_EQ(documentsFolder(), home) << "文档 does not exist";
  std::filesystem::create_directories(std::filesystem::u8path(home + "/文档"));
  EXPECT_EQ(documentsFolder(), home + "/文档");
  ::setenv("HOME", oldHome.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vantoril
