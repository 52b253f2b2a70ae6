// Where the places and the data live on Windows when the program folder
// cannot be written: the user's %LOCALAPPDATA%\Vantoril.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "platform/Win32.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

TEST(WindowsDataFolder, AProgramFolderTheUserCannotWriteGivesTheUsersOwnFolder) {
  wchar_t local[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
  const std::string expected = win32::utf8(local) + "\\Vantoril";
  EXPECT_EQ(dataFolder("C:\\no-such-program-folder"), expected);
  EXPECT_TRUE(folderWritable(expected));
}

// A trial file a crash left behind, named by this very process's id as
// trial files once were, neither decides nor stays; nor does the trial's own.
TEST(WindowsDataFolder, AStaleTrialFileNeitherDecidesNorStays) {
  test::TempFolder folder;
  const std::string stale = folder / (".vantoril-write-test-" + std::to_string(::GetCurrentProcessId()));
  writeWholeFile(stale, "");
  ::SetFileAttributesW(win32::wide(stale).c_str(), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(folderWritable(folder.path()));
  EXPECT_EQ(::GetFileAttributesW(win32::wide(stale).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(folderWritable(folder.path()));
  EXPECT_TRUE(::RemoveDirectoryW(win32::wide(folder.path()).c_str()));  // empty
  EXPECT_TRUE(::CreateDirectoryW(win32::wide(folder.path()).c_str(), nullptr));
}

}  // namespace
}  // namespace vantoril
