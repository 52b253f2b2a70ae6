// The Windows file calls: Chinese names, the attribute rules, NTFS order,
// append with cut-back, a failed write that leaves nothing, rename without
// replace; and process start.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>
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

// One temporary name per file: one a crash left is written over, and none
// stays after the rename.
TEST(WindowsFiles, AReplacedFileReusesALeftOverTemporaryFileAndLeavesNone) {
  TempFolder folder;
  const std::string file = folder / "杭州-WeatherData.landing";
  writeWholeFile(temporaryPath(file), "a longer half-written note");
  replaceFile(file, "new\r\nall");
  EXPECT_EQ(readWholeFile(file), "new\r\nall");
  replaceFile(file, "again");
  EXPECT_EQ(readWholeFile(file), "again");
  EXPECT_EQ(listFolder(folder.path()).size(), 1u);
  syncFile(file);
  EXPECT_EQ(readFileFrom(file, 2), "ain");
  EXPECT_EQ(readFileFrom(file, 9), "");
  EXPECT_TRUE(removeFileIfExists(file));
  EXPECT_FALSE(removeFileIfExists(file));
}

// Run by CTest (windows_file_size_limit) in a wine whose file size limit is
// VANTORIL_FILE_SIZE_LIMIT bytes: the file opens, and the write past the
// limit fails as on a full volume.
std::size_t fileSizeLimit() {
  const char* limit = std::getenv("VANTORIL_FILE_SIZE_LIMIT");
  return limit ? std::stoul(limit) : 0;
}

TEST(WindowsFileSizeLimit, AFailedAppendIsCutBackToTheSizeTheFileHad) {
  const std::size_t limit = fileSizeLimit();
  if (limit == 0) GTEST_SKIP() << "needs a file size limit (CTest: windows_file_size_limit)";
  TempFolder folder;
  const std::string file = folder / "北京-WeatherData.xls";
  createNewFile(file, "header\r\n");
  appendToFile(file, "record\r\n");
  // The first piece fits below the limit and is written; the rest fails.
  try {
    appendToFile(file, std::string(limit + (1u << 20), 'x'));
    ADD_FAILURE() << "an append past the file size limit did not fail";
  } catch (const Failure& e) {
    EXPECT_NE(std::string(e.what()).find("无法写入文件 " + file), std::string::npos) << e.what();
  }
  EXPECT_EQ(readWholeFile(file), "header\r\nrecord\r\n");
}

TEST(WindowsFileSizeLimit, AFailedWriteToANewFileLeavesNothing) {
  const std::size_t limit = fileSizeLimit();
  if (limit == 0) GTEST_SKIP() << "needs a file size limit (CTest: windows_file_size_limit)";
  TempFolder folder;
  const std::string kept = folder / "杭州.txt";
  createNewFile(kept, "http://www.weather.com.cn/weather1d/101210101.shtml");
  const std::string tooLarge(limit + 1, 'x');
  EXPECT_THROW(createNewFile(folder / "新.txt", tooLarge), Failure);
  EXPECT_THROW(replaceFile(kept, tooLarge), Failure);
  std::vector<std::string> names;
  for (const auto& entry : listFolder(folder.path())) names.push_back(entry.name);
  EXPECT_EQ(names, std::vector<std::string>{"杭州.txt"});
  EXPECT_EQ(readWholeFile(kept), "http://www.weather.com.cn/weather1d/101210101.shtml");
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

// The listing is in NTFS order: upper-cased names by UTF-16 code unit, so
// "_" and "~" come after every letter, "z" included, and a character outside
// the basic plane before the last of it. (Wine 8 sorts a listing itself,
// case-insensitively, so here this holds with or without our own sort.)
TEST(WindowsFiles, AListingIsInNtfsOrderWhateverOrderWineGives) {
  TempFolder folder;
  const std::vector<std::string> ntfsOrder{"1.txt", "a.txt", "B.txt", "za.txt", "Zb.txt", "zz.txt", "_a.txt",
                                           "~x.txt", "Ä.txt", "é.txt", "上海.txt", "北京.txt", "\U0001F600.txt", "Ｙ.txt", "ｚ.txt"};
  for (auto name = ntfsOrder.rbegin(); name != ntfsOrder.rend(); ++name) createNewFile(folder / *name, "x");
  std::vector<std::string> names;
  for (const auto& entry : listFolder(folder.path())) names.push_back(entry.name);
  EXPECT_EQ(names, ntfsOrder);
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
  // What the shell cannot open is told, naming it: a missing page, a file
  // no program opens (the protocol handler itself would say nothing).
  TempFolder folder;
  createNewFile(folder / "图表.vantoril-none", "x");
  for (const std::string& path : {folder / "没有.html", folder / "图表.vantoril-none"}) {
    try {
      starter.start(u"rundll32 url.dll,FileProtocolHandler \"" + fromUtf8(path) + u"\"", WindowStyle::NormalFocus);
      ADD_FAILURE() << path << " opened";
    } catch (const Failure& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with("无法打开 " + path + "：")) << e.what();
    }
  }
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
