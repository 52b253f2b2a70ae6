// The Windows file calls: Chinese names, the attribute rules, NTFS order,
// append with cut-back, rename without replace; and process start.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/ShellProcessStarter.h"
#include "platform/Win32.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

using test::TempFolder;

void setAttributes(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(::SetFileAttributesW(win32::wide(path).c_str(), attributes)) << path;
}

TEST(WindowsFiles, AChineseNameIsCreatedAppendedToRenamedWithoutReplaceAndRemoved) {
  TempFolder folder;
  const std::string file = folder / "杭州.txt", other = folder / "哈尔滨.txt";
  createNewFile(file, "a");
  EXPECT_THROW(createNewFile(file, "b"), Failure);
  appendToFile(file, "bc");
  EXPECT_EQ(readWholeFile(file), "abc");
  createNewFile(other, "x");
  try {
    renameFile(file, other);
    ADD_FAILURE() << "the rename replaced a file";
  } catch (const Failure& e) {
    EXPECT_NE(std::string(e.what()).find("已经存在"), std::string::npos) << e.what();
  }
  EXPECT_EQ(readWholeFile(other), "x");
  removeFile(other);
  renameFile(file, other);
  EXPECT_EQ(readWholeFile(other), "abc");
  EXPECT_FALSE(fileExists(file));
  writeWholeFile(other, "new");
  EXPECT_EQ(readWholeFile(other), "new");
  removeFile(other);
  EXPECT_THROW(removeFile(other), Failure);
}

TEST(WindowsFiles, AFailedAppendIsCutBackToTheSizeTheFileHad) {
  TempFolder folder;
  const std::string file = folder / "北京-WeatherData.xls";
  createNewFile(file, "header\r\n");
  // Another handle locks a range past the first megabyte to be written: the
  // append writes its first piece, then fails.
  win32::Handle locker(::CreateFileW(win32::wide(file).c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locker.valid());
  OVERLAPPED at{};
  at.Offset = (1u << 20) + 4096;
  ASSERT_TRUE(::LockFileEx(locker.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 4096, 0, &at));
  EXPECT_THROW(appendToFile(file, std::string(2u << 20, 'x')), Failure);
  ::UnlockFileEx(locker.get(), 0, 4096, 0, &at);
  locker.reset();
  EXPECT_EQ(readWholeFile(file), "header\r\n");
}

TEST(WindowsFiles, HiddenAndSystemFilesAreMissingAndOnlyHiddenOnesAreListedInNtfsOrder) {
  TempFolder folder;
  for (const char* name : {"b.txt", "杭州.txt", "A.txt", "隐藏.txt", "系统.txt", "只读.txt"})
    createNewFile(folder / name, "x");
  ensureFolder(folder / "子");
  setAttributes(folder / "隐藏.txt", FILE_ATTRIBUTE_HIDDEN);
  setAttributes(folder / "系统.txt", FILE_ATTRIBUTE_SYSTEM);
  setAttributes(folder / "只读.txt", FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(fileExists(folder / "只读.txt"));
  EXPECT_FALSE(fileExists(folder / "隐藏.txt"));
  EXPECT_FALSE(fileExists(folder / "系统.txt"));
  EXPECT_FALSE(fileExists(folder / "子"));
  std::vector<std::string> names;
  for (const auto& entry : listFolder(folder.path())) names.push_back(entry.name + (entry.isFolder ? "/" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{"A.txt", "b.txt", "只读.txt", "子/", "杭州.txt", "隐藏.txt"}));
  EXPECT_TRUE(listFolder(folder / "没有").empty());
  setAttributes(folder / "只读.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsProcessStart, AProgramThatCannotBeStartedFailsNamingTheCommandLine) {
  ShellProcessStarter starter;
  try {
    starter.start(u"no-such-program-vantoril.exe 一", WindowStyle::NormalFocus);
    ADD_FAILURE() << "nothing failed";
  } catch (const Failure& e) {
    EXPECT_NE(std::string(e.what()).find("no-such-program-vantoril.exe 一"), std::string::npos) << e.what();
  }
  // Without the browser, the browser line needs an address to open.
  ShellProcessStarter noBrowser(u"C:\\no\\such\\browser.exe");
  EXPECT_THROW(noBrowser.start(u"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe ", WindowStyle::MinimizedFocus),
               Failure);
}

TEST(WindowsPaths, TheDataFolderReachesTheShellAsAWindowsPathWithItsTrailingBackslash) {
  test::FormFixture f;
  ASSERT_TRUE(f.form->load());
  f.form->click(f.form->Command3);
  ASSERT_EQ(f.starter.calls.size(), 1u);
  const std::string expected = "rundll32 url.dll,FileProtocolHandler \"" + f.folder.path() + "\\WeatherData\\\"";
  EXPECT_EQ(toUtf8(f.starter.calls[0].commandLine), expected);
}

}  // namespace
}  // namespace vantoril
