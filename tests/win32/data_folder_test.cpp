// Where the places and the data live on Windows when the program folder
// cannot be written: the user's %LOCALAPPDATA%\Vantoril.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "platform/Win32.h"

namespace vantoril {
namespace {

TEST(WindowsDataFolder, AProgramFolderTheUserCannotWriteGivesTheUsersOwnFolder) {
  wchar_t local[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
  const std::string expected = win32::utf8(local) + "\\Vantoril";
  EXPECT_EQ(dataFolder("C:\\no-such-program-folder"), expected);
  EXPECT_TRUE(folderWritable(expected));
}

}  // namespace
}  // namespace vantoril
