// The catalogue folder: place names, the folder scan and the list refresh.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using test::FormFixture;
using test::writeGbk;
using Entries = std::vector<std::u16string>;

void touch(const std::string& path) { writeGbk(path, u"http://www.weather.com.cn/\r\n"); }

// A Unix socket at `path`, left bound (closed at once; the file stays).
void makeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
  ::close(fd);
}

// ---------------------------------------------------------------- names

TEST(PlaceName, IsTheFileNameWithoutItsLastFourCharacters) {
  struct Case {
    std::u16string_view file;
    bool gives;
    std::u16string_view place;
  };
  const Case cases[] = {
      {u"北京.txt", true, u"北京"},    {u"abc.url", true, u"abc"},  {u"abcd", true, u""},
      {u".txt", true, u""},            {u"a.txt.txt", true, u"a.txt"}, {u"北京市区", true, u""},
      {u"a.b", false, u""},            {u"", false, u""},          {u"abc", false, u""},
      // Four UTF-16 code units: an emoji counts two.
      {u"\U0001F600.x", true, u""},
  };
  for (const Case& c : cases) {
    std::u16string place = u"unchanged";
    EXPECT_EQ(catalogue::placeNameOf(c.file, place), c.gives) << toUtf8(c.file);
    if (c.gives) {
      EXPECT_EQ(place, c.place) << toUtf8(c.file);
    }
  }
  std::u16string place;
  ASSERT_TRUE(catalogue::placeNameOf(u"\U0001F600x.txt", place));
  EXPECT_EQ(place, u"\U0001F600x");
}

// ----------------------------------------------------------------- scan

TEST(FolderScan, CutsEveryNameAndSkipsShortOnes) {
  FormFixture f;
  for (const char* name : {"北京.txt", "上海.txt", "abc.url", "abcd", "a.b", "ab", "abc.doc", "abc.txt", ".hidden.txt",
                           "x.txt.bak"})
    touch(f.website(name));
  f.form->sosuofile1(fromUtf8(f.website()));
  // Names shorter than four characters give nothing; the rest are cut;
  // dot-files are ordinary files.
  EXPECT_EQ(f.form->List1.entries(),
            (Entries{u".hidden", u"abc", u"abc", u"abc", u"", u"x.txt", u"上海", u"北京"}));
}

// Files and folders each in the order NTFS lists them: by UTF-16 code unit
// of the upper-cased names, so "_" follows every letter of either case ("z"
// too, as "Z"), "ÿ" goes as "Ÿ" (U+0178) and Chinese names go by code
// point, not by sound. Whatever order the file system here gives.
TEST(FolderScan, ListsInTheOrderNtfsGivesWhateverTheFileSystem) {
  FormFixture f;
  for (const char* name : {"广州.txt", "zz.txt", "Zed.txt", "北京.txt", "_u.txt", "alpha.txt", "上海.txt", "é.txt",
                           "ÿ.txt", "Łx.txt", "Áz.txt", "àb.txt", "za.txt", "Beta.txt", "west/w.txt", "中部/武汉.txt",
                           "East/e.txt", "east2/E2.txt"})
    touch(f.website(name));
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entries(),
            (Entries{u"alpha", u"Beta", u"za", u"Zed", u"zz", u"_u", u"àb", u"Áz", u"é", u"Łx", u"ÿ", u"上海", u"北京",
                     u"广州", u"e", u"E2", u"w", u"武汉"}));
}

TEST(FolderScan, AFoldersOwnFilesComeBeforeItsSubfoldersResultsDepthFirst) {
  FormFixture f;
  touch(f.website("广州.txt"));
  touch(f.website("重庆.txt"));
  touch(f.website("east/杭州.txt"));
  touch(f.website("east/温州.txt"));
  touch(f.website("east/inner/宁波.txt"));
  touch(f.website("east/inner/deeper/舟山.txt"));
  touch(f.website("west/成都.txt"));
  touch(f.website("west/deep/拉萨.txt"));
  fs::create_directories(f.website("empty"));
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"广州", u"重庆", u"杭州", u"温州", u"宁波", u"舟山", u"成都", u"拉萨"}));
}

TEST(FolderScan, AFolderNamedLikeACatalogueFileGivesNoEntryButIsScanned) {
  FormFixture f;
  touch(f.website("x.txt/inside.txt"));
  touch(f.website("top.txt"));
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"top", u"inside"}));
}

TEST(FolderScan, ListsNoFifoOrSocketAndTheExistenceTestMissesThem) {
  FormFixture f;
  touch(f.website("real.txt"));
  ASSERT_EQ(::mkfifo(f.website("pipe.txt").c_str(), 0644), 0);
  makeSocket(f.website("sock.txt"));
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"real"}));
  EXPECT_FALSE(fileExists(f.website("pipe.txt")));
  EXPECT_FALSE(fileExists(f.website("sock.txt")));
  EXPECT_TRUE(fileExists(f.website("real.txt")));
}

TEST(FolderScan, FollowsLinksToFilesButNeverIntoLinkedFolders) {
  FormFixture f;
  touch(f.website("sub/inner.txt"));
  touch(f.folder / "elsewhere/far.txt");
  fs::create_symlink(f.website(), f.website("loop"));          // a loop back to the catalogue
  fs::create_symlink(f.folder / "elsewhere", f.website("far"));  // a folder outside
  fs::create_symlink(f.website("sub/inner.txt"), f.website("alias.txt"));
  fs::create_symlink(f.website("gone.txt"), f.website("broken.txt"));
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"alias", u"inner"}));
  EXPECT_TRUE(fileExists(f.website("alias.txt")));
  EXPECT_FALSE(fileExists(f.website("broken.txt")));
  EXPECT_FALSE(fileExists(f.website("sub")));
}

TEST(FolderScan, ATrailingSlashIsNotDoubledAndTheListIsNotEmptiedFirst) {
  FormFixture f;
  touch(f.website("a/北京.txt"));
  touch(f.website("上海.txt"));
  f.form->sosuofile1(fromUtf8(f.website()));
  const Entries once = f.form->List1.entries();
  f.form->List1.clear();
  f.form->sosuofile1(fromUtf8(f.website()) + u"/");
  EXPECT_EQ(f.form->List1.entries(), once);
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entryCount(), 4);
  EXPECT_EQ(once, (Entries{u"上海", u"北京"}));
}

TEST(FolderScan, MissingEmptyOrNonFolderCatalogueGivesNoEntries) {
  FormFixture f;
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entryCount(), 0);
  fs::create_directories(f.website());
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entryCount(), 0);
  fs::remove(f.website());
  writeWholeFile(f.folder / "WebSite", "not a folder");
  f.form->sosuofile1(fromUtf8(f.website()));
  EXPECT_EQ(f.form->List1.entryCount(), 0);
}

// --------------------------------------------------------------- refresh

TEST(ListRefresh, AMissingCatalogueOpensWithAnEmptyListAndNoReport) {
  FormFixture f;
  EXPECT_TRUE(f.form->load());
  EXPECT_EQ(f.form->List1.entryCount(), 0);
  EXPECT_TRUE(f.report.messages.empty());
  EXPECT_FALSE(fs::exists(f.website())) << "the refresh created the catalogue folder";
}

TEST(ListRefresh, ListsTheStrayFileAsAnEmptyEntryThenDeletesIt) {
  FormFixture f;
  touch(f.website("北京.txt"));
  touch(f.website(".txt"));
  touch(f.website("abcd"));
  touch(f.website("sub/.txt"));
  f.form->listRefresh();
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"", u"", u"北京", u""}));
  EXPECT_FALSE(fs::exists(f.website(".txt")));
  // Only the top-level ".txt" is the stray file.
  EXPECT_TRUE(fs::exists(f.website("abcd")));
  EXPECT_TRUE(fs::exists(f.website("sub/.txt")));

  f.form->listRefresh();
  const Entries second = f.form->List1.entries();
  EXPECT_EQ(second.size(), 3u);
  EXPECT_EQ(std::count(second.begin(), second.end(), u""), 2);
}

TEST(ListRefresh, AFolderNamedLikeTheStrayFileIsScannedAndKept) {
  FormFixture f;
  touch(f.website(".txt/inner.txt"));
  EXPECT_TRUE(f.form->load());
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"inner"}));
  EXPECT_TRUE(fs::is_directory(f.website(".txt")));
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(ListRefresh, EmptiesTheListAndItsSelectionButLeavesNameAndAddress) {
  FormFixture f;
  touch(f.website("北京.txt"));
  ASSERT_TRUE(f.form->load());
  ASSERT_TRUE(f.form->userSelect(0));
  ASSERT_EQ(f.form->Text15.text(), u"北京");
  const std::u16string address = f.form->Text14.text();
  touch(f.website("上海.txt"));
  fs::remove(f.website("北京.txt"));
  f.form->listRefresh();
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"上海"}));
  EXPECT_EQ(f.form->List1.selectedIndex(), -1);
  EXPECT_EQ(f.form->List1.selectedText(), u"");
  EXPECT_EQ(f.form->Text15.text(), u"北京");
  EXPECT_EQ(f.form->Text14.text(), address);
  EXPECT_EQ(f.form->List1.tooltip(), u"北京");
}

// A catalogue copied from another system may name its files in another
// code page: the place still names the very file it was listed from.
TEST(CatalogueScan, AFileNameThatIsNotUtf8StillNamesItsOwnFile) {
  FormFixture f;
  const std::string gbkName = "\xB1\xB1\xBE\xA9";  // 北京 in GBK
  writeGbk(f.website(gbkName + ".txt"), u"http://example.org/page\r\n");
  ASSERT_TRUE(f.form->load());
  ASSERT_EQ(f.form->List1.entryCount(), 1);
  EXPECT_EQ(fileNameBytes(f.form->List1.entries()[0]), gbkName);
  ASSERT_TRUE(f.form->userSelect(0));
  EXPECT_EQ(f.form->Text14.text(), u"http://example.org/page\r\n");
  EXPECT_EQ(listFolder(f.website()).size(), 1u) << "the list click created another file";
}

}  // namespace
}  // namespace vantoril
