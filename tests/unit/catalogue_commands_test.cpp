// What the user does to the catalogue: list click, New, Rename, Delete and
// Modify URL.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using test::FormFixture;
using test::readBytes;
using test::TempFolder;
using test::writeGbk;
using Entries = std::vector<std::u16string>;

using test::InFolder;

std::set<std::string> filesIn(const std::string& folder) {
  std::set<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    names.insert(fs::relative(e.path(), folder).string() + (e.is_directory() ? "/" : ""));
  return names;
}

bool listed(const FormFixture& f, std::u16string_view place) {
  const auto& e = f.form->List1.entries();
  return std::find(e.begin(), e.end(), place) != e.end();
}

int indexOf(const FormFixture& f, std::u16string_view place) {
  const auto& e = f.form->List1.entries();
  const auto it = std::find(e.begin(), e.end(), place);
  return it == e.end() ? -1 : static_cast<int>(it - e.begin());
}

// Selects `place` as the user would.
void select(FormFixture& f, std::u16string_view place) {
  const int i = indexOf(f, place);
  ASSERT_GE(i, 0) << toUtf8(place) << " is not listed";
  ASSERT_TRUE(f.form->userSelect(i));
}

// A catalogue file that appears behind the window's back: listed after the
// next refresh, so it shows whether a command refreshed.
void addOutsider(FormFixture& f) { writeGbk(f.website("outsider.txt"), u"http://outsider/\r\n"); }

std::string gbk(std::u16string_view text) { return cp936::encode(text); }

const std::u16string kBeijing = u"http://www.weather.com.cn/weather1d/101010100.shtml";
const std::u16string kShanghai = u"http://www.weather.com.cn/weather1d/101020100.shtml";

// A window started on a catalogue of 北京 and 上海.
struct Catalogue : FormFixture {
  Catalogue() {
    writeGbk(website("北京.txt"), kBeijing + u"\r\n");
    writeGbk(website("上海.txt"), kShanghai + u"\r\n");
    if (!form->load()) throw std::runtime_error("start-up failed");
  }
};

// ------------------------------------------------------------- list click

TEST(ListClick, ShowsTheNameTooltipAndEveryLineFollowedByCrLf) {
  Catalogue f;
  writeGbk(f.website("北京.txt"), u"http://a/北京\r\nhttp://b/");
  select(f, u"北京");
  EXPECT_EQ(f.form->Text15.text(), u"北京");
  EXPECT_EQ(f.form->List1.tooltip(), u"北京");
  EXPECT_EQ(f.form->Text14.text(), u"http://a/北京\r\nhttp://b/\r\n");
  select(f, u"上海");
  EXPECT_EQ(f.form->Text15.text(), u"上海");
  EXPECT_EQ(f.form->Text14.text(), kShanghai + u"\r\n");
  // The click changes no file and starts nothing.
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(u"http://a/北京\r\nhttp://b/"));
  EXPECT_TRUE(f.starter.calls.empty());
  EXPECT_TRUE(f.input.asked.empty());
}

TEST(ListClick, AMissingFileIsCreatedWithThePlaceholderAndShown) {
  Catalogue f;
  select(f, u"上海");
  fs::remove(f.website("北京.txt"));
  addOutsider(f);
  select(f, u"北京");
  EXPECT_EQ(readBytes(f.website("北京.txt")), "http:\r\n");
  EXPECT_EQ(f.form->Text14.text(), u"http:\r\n");
  EXPECT_EQ(f.form->Text15.text(), u"北京");
  // The click does not refresh the list.
  EXPECT_FALSE(listed(f, u"outsider"));
  // Selecting it again reads what was written.
  select(f, u"上海");
  select(f, u"北京");
  EXPECT_EQ(f.form->Text14.text(), u"http:\r\n");
  EXPECT_EQ(readBytes(f.website("北京.txt")), "http:\r\n");
}

// Every command on a listed place works on the file the scan found for it,
// in a subfolder or under a name that is not "<place>.txt"; New still
// creates at the top.
TEST(PlaceFile, EveryCommandUsesTheFileTheScanFound) {
  FormFixture f;
  writeGbk(f.website("east/杭州.txt"), u"http://hz/\r\n");
  writeGbk(f.website("abcd"), u"x\r\n");  // lists as the empty entry
  ASSERT_TRUE(f.form->load());
  ASSERT_EQ(f.form->List1.entries(), (Entries{u"", u"杭州"}));

  select(f, u"");
  EXPECT_EQ(f.form->Text15.text(), u"");
  EXPECT_EQ(f.form->Text14.text(), u"x\r\n");
  select(f, u"杭州");
  EXPECT_EQ(f.form->Text14.text(), u"http://hz/\r\n");
  ASSERT_TRUE(f.form->click(f.form->Command8));
  ASSERT_TRUE(f.form->click(f.form->Command4));
  ASSERT_EQ(f.starter.calls.size(), 2u);
  EXPECT_EQ(f.starter.calls[0].commandLine, std::u16string(commandline::kBrowserPath) + u" http://hz/\r\n");
  EXPECT_EQ(f.starter.calls[1].commandLine,
            std::u16string(commandline::kProtocolHandlerPrefix) + u"\"" + fromUtf8(f.website("east/杭州.txt")) + u"\"");
  // No stray file at the top.
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"abcd", "east/", "east/杭州.txt"}));

  f.input.answers = {u"温州"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"abcd", "east/", "east/温州.txt"}));
  select(f, u"温州");
  ASSERT_TRUE(f.form->click(f.form->Command7));
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"abcd", "east/"}));
  f.input.answers = {u"宁波", u"http://nb/"};
  ASSERT_TRUE(f.form->click(f.form->Command6));
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"abcd", "east/", "宁波.txt"}));
}

TEST(ListClick, TheStrayFileIsReadLikeAnyCatalogueFileAndTheNextRefreshDeletesIt) {
  FormFixture f;
  writeGbk(f.website(".txt"), u"http://stray/\r\n");
  ASSERT_TRUE(f.form->load());
  ASSERT_EQ(f.form->List1.entries(), (Entries{u""}));
  EXPECT_FALSE(fs::exists(f.website(".txt")));
  // Deleted by the refresh that listed it: the click writes the placeholder.
  select(f, u"");
  EXPECT_EQ(readBytes(f.website(".txt")), "http:\r\n");
  writeGbk(f.website(".txt"), u"http://stray/\r\n");
  select(f, u"");
  EXPECT_EQ(f.form->Text14.text(), u"http://stray/\r\n");
  f.form->listRefresh();
  EXPECT_FALSE(fs::exists(f.website(".txt")));
}

TEST(ListClick, ReadsTheProgramFoldersFileWhateverTheCurrentDirectory) {
  Catalogue f;
  TempFolder elsewhere;
  writeGbk(elsewhere / "WebSite/北京.txt", u"http://wrong/\r\n");
  {
    InFolder cd(elsewhere.path());
    select(f, u"北京");
    EXPECT_EQ(f.form->Text14.text(), kBeijing + u"\r\n");
    // A missing file is created beside the program too.
    fs::remove(f.website("上海.txt"));
    select(f, u"上海");
    EXPECT_EQ(readBytes(f.website("上海.txt")), "http:\r\n");
    EXPECT_FALSE(fs::exists(elsewhere / "WebSite/上海.txt"));
  }
  EXPECT_EQ(readBytes(elsewhere / "WebSite/北京.txt"), "http://wrong/\r\n");
}

TEST(ListClick, ACatalogueFolderThatVanishedIsReported) {
  Catalogue f;
  select(f, u"上海");
  fs::remove_all(f.website());
  EXPECT_FALSE(f.form->userSelect(indexOf(f, u"北京")));
  EXPECT_EQ(f.report.messages.size(), 1u);
  // The steps before the failure stay done; the address box is untouched.
  EXPECT_EQ(f.form->Text15.text(), u"北京");
  EXPECT_EQ(f.form->Text14.text(), kShanghai + u"\r\n");
  EXPECT_FALSE(fs::exists(f.website()));
}

// ------------------------------------------------------ following the folder

// What the folder does behind the window's back, and what the list and the
// boxes show after the window's return (or the folder's change).
TEST(FollowFolder, TheListFollowsTheFolderKeepingTheSelectedPlaceAndItsAddressAsItsFileHoldsIt) {
  const struct {
    const char* what;
    std::function<void(FormFixture&)> change;
    Entries listed;
    const char16_t* selected;  // nullptr: nothing selected
    std::u16string address;    // Text14 afterwards
  } cases[] = {
      {"nothing", [](FormFixture&) {}, {u"上海", u"北京"}, u"上海", kShanghai + u"\r\n"},
      {"a place added", [](FormFixture& f) { addOutsider(f); }, {u"outsider", u"上海", u"北京"}, u"上海",
       kShanghai + u"\r\n"},
      {"the selected address edited", [](FormFixture& f) { writeGbk(f.website("上海.txt"), u"http://new/\r\n"); },
       {u"上海", u"北京"}, u"上海", u"http://new/\r\n"},
      {"added and edited",
       [](FormFixture& f) {
         addOutsider(f);
         writeGbk(f.website("上海.txt"), u"http://new/\r\n");
       },
       {u"outsider", u"上海", u"北京"}, u"上海", u"http://new/\r\n"},
      {"another place deleted", [](FormFixture& f) { fs::remove(f.website("北京.txt")); }, {u"上海"}, u"上海",
       kShanghai + u"\r\n"},
      {"the selected place deleted", [](FormFixture& f) { fs::remove(f.website("上海.txt")); }, {u"北京"}, nullptr,
       kShanghai + u"\r\n"},
      {"the folder gone", [](FormFixture& f) { fs::remove_all(f.website()); }, {}, nullptr, kShanghai + u"\r\n"},
  };
  for (const auto& c : cases) {
    for (const bool returned : {true, false}) {
      Catalogue f;
      select(f, u"上海");
      c.change(f);
      EXPECT_TRUE(returned ? f.form->userReturned() : f.form->userFolderChanged()) << c.what;
      EXPECT_EQ(f.form->List1.entries(), c.listed) << c.what;
      EXPECT_EQ(f.form->List1.selectedText(), c.selected ? c.selected : u"") << c.what;
      EXPECT_EQ(f.form->Text14.text(), c.address) << c.what;
      EXPECT_TRUE(f.report.messages.empty()) << c.what;
      // Following writes nothing (a deleted place gets no placeholder file).
      EXPECT_EQ(fs::exists(f.website("上海.txt")), c.selected != nullptr) << c.what;
    }
  }
}

TEST(FollowFolder, AFolderThatCannotBeListedIsReportedOnceNotAtEveryReturn) {
  Catalogue f;
  fs::remove_all(f.website());
  fs::create_symlink(f.folder / "WebSite", f.folder / "WebSite");  // a link to itself
  EXPECT_FALSE(f.form->userReturned());
  EXPECT_FALSE(f.form->userReturned());  // the message box closed: the window is back
  EXPECT_FALSE(f.form->userFolderChanged());
  EXPECT_EQ(f.report.messages.size(), 1u);
  fs::remove(f.folder / "WebSite");
  EXPECT_TRUE(f.form->userReturned());
  EXPECT_TRUE(f.form->List1.entries().empty());
  // Told again when it comes back after a good look.
  fs::create_symlink(f.folder / "WebSite", f.folder / "WebSite");
  EXPECT_FALSE(f.form->userFolderChanged());
  EXPECT_EQ(f.report.messages.size(), 2u);
}

// -------------------------------------------------------------------- New

TEST(NewPlace, AsksForNameThenAddressAndWritesTheAddressAsOneLine) {
  Catalogue f;
  select(f, u"北京");
  f.input.answers = {u"广州", u"http://www.weather.com.cn/weather1d/101280101.shtml?城"};
  ASSERT_TRUE(f.form->click(f.form->Command6));
  ASSERT_EQ(f.input.asked.size(), 2u);
  EXPECT_EQ(f.input.asked[0].prompt, u"输入地名 Input location:");
  EXPECT_EQ(f.input.asked[0].title, u"添加地名 Add location");
  EXPECT_EQ(f.input.asked[0].defaultText, u"");
  EXPECT_EQ(f.input.asked[1].prompt, u"粘贴该地在“中国天气”的网址:");
  EXPECT_EQ(f.input.asked[1].title, u"添加天气网址");
  EXPECT_EQ(f.input.asked[1].defaultText, u"");
  EXPECT_EQ(readBytes(f.website("广州.txt")), gbk(u"http://www.weather.com.cn/weather1d/101280101.shtml?城\r\n"));
  // The list is rebuilt with nothing selected; name and address stay.
  EXPECT_TRUE(listed(f, u"广州"));
  EXPECT_EQ(f.form->List1.entryCount(), 3);
  EXPECT_EQ(f.form->List1.selectedIndex(), -1);
  EXPECT_EQ(f.form->Text15.text(), u"北京");
  EXPECT_EQ(f.form->Text14.text(), kBeijing + u"\r\n");
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(NewPlace, CancelAtTheFirstBoxWritesNothingButRefreshes) {
  Catalogue f;
  const auto before = filesIn(f.website());
  addOutsider(f);
  ASSERT_TRUE(f.form->click(f.form->Command6));
  EXPECT_EQ(f.input.asked.size(), 1u);
  EXPECT_TRUE(listed(f, u"outsider"));
  auto after = filesIn(f.website());
  after.erase("outsider.txt");
  EXPECT_EQ(after, before);
}

TEST(NewPlace, CancelAtTheSecondBoxAddsNothingButRefreshes) {
  Catalogue f;
  addOutsider(f);
  f.input.answers = {u" 广 州 "};
  ASSERT_TRUE(f.form->click(f.form->Command6));
  EXPECT_EQ(f.input.asked.size(), 2u);
  EXPECT_FALSE(fs::exists(f.website(" 广 州 .txt")));
  EXPECT_FALSE(listed(f, u" 广 州 "));
  EXPECT_TRUE(listed(f, u"outsider"));
}

TEST(NewPlace, AnAddressAnotherPlaceHasAddsNothingAndNamesThatPlace) {
  struct Case {
    std::u16string address;
    bool added;
  };
  const Case cases[] = {
      {kBeijing, false},
      {u"  " + kBeijing + u" ", false},
      {u"https://www.weather.com.cn/weather1d/101010100.shtml", false},
      {u"HTTP://WWW.Weather.com.cn/weather1d/101010100.shtml", false},
      {u"http://www.weather.com.cn/weather1d/101010200.shtml", true},
      {u"http://www.weather.com.cn/WEATHER1D/101010100.shtml", true},  // the path is the server's to read
  };
  for (const Case& c : cases) {
    Catalogue f;
    f.input.answers = {u"首都", c.address};
    EXPECT_EQ(f.form->click(f.form->Command6), c.added) << toUtf8(c.address);
    EXPECT_EQ(fs::exists(f.website("首都.txt")), c.added) << toUtf8(c.address);
    if (c.added) continue;
    ASSERT_EQ(f.report.messages.size(), 1u);
    EXPECT_TRUE(test::contains(f.report.messages[0], "“北京”")) << f.report.messages[0];
  }
}

TEST(NewPlace, AnExistingNameAsksNothingMoreWritesNothingAndRefreshes) {
  Catalogue f;
  addOutsider(f);
  f.input.answers = {u"北京", u"http://never-asked/"};
  ASSERT_TRUE(f.form->click(f.form->Command6));
  EXPECT_EQ(f.input.asked.size(), 1u);
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(kBeijing + u"\r\n"));
  EXPECT_TRUE(listed(f, u"outsider"));
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(NewPlace, CreatesTheMissingCatalogueFolderButNotForARefusedName) {
  FormFixture f;
  ASSERT_TRUE(f.form->load());
  ASSERT_FALSE(fs::exists(f.website()));
  f.input.answers = {u"a/b", u"http://x/"};
  EXPECT_FALSE(f.form->click(f.form->Command6));
  EXPECT_FALSE(fs::exists(f.website()));
  f.report.messages.clear();
  f.input.answers = {u"北京", kBeijing};
  ASSERT_TRUE(f.form->click(f.form->Command6));
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(kBeijing + u"\r\n"));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"北京"}));
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(NewPlace, ACatalogueFolderThatIsAFileFailsBeforeTheAddressIsAsked) {
  FormFixture f;
  writeWholeFile(f.folder / "WebSite", "not a folder");
  f.input.answers = {u"北京", kBeijing};
  EXPECT_FALSE(f.form->click(f.form->Command6));
  EXPECT_EQ(f.input.asked.size(), 1u) << "the address was asked for and then lost";
  ASSERT_EQ(f.report.messages.size(), 1u);
  EXPECT_NE(f.report.messages[0].find("WebSite"), std::string::npos);
}

TEST(NewPlace, RefusesNamesNoFileCanHaveWithAMessageAndNoRefresh) {
  Catalogue f;
  addOutsider(f);
  const auto before = filesIn(f.folder.path());
  const Entries listBefore = f.form->List1.entries();
  int expectedMessages = 0;
  for (std::u16string_view bad : {u"a/b", u"../evil", u"a\\b", u".", u"..", u"a\tb", u"x\r\n", u"\x1F", u"a<b",
                                  u"a>b", u"a:b", u"a\"b", u"a|b", u"a?b", u"a*b"}) {
    f.input.answers = {std::u16string(bad), u"http://x/"};
    f.input.asked.clear();
    EXPECT_FALSE(f.form->click(f.form->Command6)) << toUtf8(bad);
    EXPECT_EQ(f.input.asked.size(), 1u) << toUtf8(bad);
    EXPECT_EQ(static_cast<int>(f.report.messages.size()), ++expectedMessages) << toUtf8(bad);
    EXPECT_EQ(f.form->List1.entries(), listBefore) << toUtf8(bad) << ": the list was refreshed";
  }
  EXPECT_EQ(filesIn(f.folder.path()), before);
  for (const auto& m : f.report.messages) EXPECT_NE(m.find("地名"), std::string::npos) << m;
}

// ----------------------------------------------------------------- Rename

TEST(RenamePlace, OffersTheSelectedNameAndRenamesKeepingTheContent) {
  Catalogue f;
  select(f, u"北京");
  f.input.answers = {u"首都"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  ASSERT_EQ(f.input.asked.size(), 1u);
  EXPECT_EQ(f.input.asked[0].prompt, u"输入新地名:");
  EXPECT_EQ(f.input.asked[0].title, u"重命名");
  EXPECT_EQ(f.input.asked[0].defaultText, u"北京");
  EXPECT_FALSE(fs::exists(f.website("北京.txt")));
  EXPECT_EQ(readBytes(f.website("首都.txt")), gbk(kBeijing + u"\r\n"));
  EXPECT_TRUE(listed(f, u"首都"));
  EXPECT_FALSE(listed(f, u"北京"));
  EXPECT_EQ(f.form->List1.selectedIndex(), -1);
  // Rename does not change the name and address boxes itself.
  EXPECT_EQ(f.form->Text15.text(), u"北京");
}

TEST(RenamePlace, CancelOrTheUnchangedNameRenamesNothingButRefreshes) {
  Catalogue f;
  select(f, u"北京");
  addOutsider(f);
  ASSERT_TRUE(f.form->click(f.form->Command5));  // Cancel
  EXPECT_TRUE(listed(f, u"outsider"));
  fs::remove(f.website("outsider.txt"));
  select(f, u"北京");
  f.input.answers = {u"北京"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  EXPECT_FALSE(listed(f, u"outsider"));
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(kBeijing + u"\r\n"));
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"北京.txt", "上海.txt"}));
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(RenamePlace, AChangeOfLetterCaseIsARename) {
  FormFixture f;
  writeGbk(f.website("beijing.txt"), u"http://bj/\r\n");
  ASSERT_TRUE(f.form->load());
  select(f, u"beijing");
  f.input.answers = {u"Beijing"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"Beijing.txt"}));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"Beijing"}));
}

TEST(RenamePlace, NeverReplacesAFileAndAFailedRenameDoesNotRefresh) {
  Catalogue f;
  writeGbk(f.weatherData("北京-WeatherData.xls"), u"天气数据文件\r\n");
  writeGbk(f.weatherData("北京-WeatherData.html"), u"<html/>");
  select(f, u"北京");
  addOutsider(f);
  f.input.answers = {u"上海"};
  EXPECT_FALSE(f.form->click(f.form->Command5));
  ASSERT_EQ(f.report.messages.size(), 1u);
  // The data moved first goes back.
  EXPECT_EQ(filesIn(f.weatherData()), (std::set<std::string>{"北京-WeatherData.xls", "北京-WeatherData.html"}));
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(kBeijing + u"\r\n"));
  EXPECT_EQ(readBytes(f.website("上海.txt")), gbk(kShanghai + u"\r\n"));
  EXPECT_FALSE(listed(f, u"outsider")) << "the list was refreshed after the failed rename";
  EXPECT_EQ(f.form->List1.selectedIndex(), indexOf(f, u"北京"));
  // The old file gone: the rename fails the same way.
  fs::remove(f.website("北京.txt"));
  f.input.answers = {u"首都"};
  EXPECT_FALSE(f.form->click(f.form->Command5));
  EXPECT_EQ(f.report.messages.size(), 2u);
  EXPECT_FALSE(fs::exists(f.website("首都.txt")));
  EXPECT_FALSE(listed(f, u"outsider"));
}

// The files a place has in the data folder, each with its own bytes.
void writePlaceData(FormFixture& f, const std::u16string& place) {
  for (const char* ending : {".xls", ".pending", ".html"})
    writeGbk(f.weatherData(toUtf8(place) + "-WeatherData" + ending), place + fromUtf8(ending));
}

TEST(RenamePlace, TakesTheDataFilePendingFileAndChartPageAlong) {
  Catalogue f;
  writePlaceData(f, u"北京");
  writePlaceData(f, u"上海");
  writeGbk(f.weatherData("首都-WeatherData.html"), u"a stale page");
  select(f, u"北京");
  f.input.answers = {u"首都"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  EXPECT_EQ(filesIn(f.weatherData()),
            (std::set<std::string>{"首都-WeatherData.xls", "首都-WeatherData.pending", "首都-WeatherData.html",
                                   "上海-WeatherData.xls", "上海-WeatherData.pending", "上海-WeatherData.html"}));
  for (const char* ending : {".xls", ".pending", ".html"})
    EXPECT_EQ(readBytes(f.weatherData(std::string("首都-WeatherData") + ending)), gbk(u"北京" + fromUtf8(ending)));
  EXPECT_TRUE(listed(f, u"首都"));
}

TEST(RenamePlace, RefusedWhereTheNewNameHasRecordsAlreadyAndNothingMoves) {
  for (const char* ending : {".xls", ".pending", ".landing"}) {
    Catalogue f;
    writePlaceData(f, u"北京");
    const std::string theirs = std::string("首都-WeatherData") + ending;
    writeGbk(f.weatherData(theirs), u"theirs");
    const auto before = filesIn(f.folder.path());
    select(f, u"北京");
    f.input.answers = {u"首都"};
    EXPECT_FALSE(f.form->click(f.form->Command5)) << ending;
    EXPECT_EQ(filesIn(f.folder.path()), before) << ending;
    EXPECT_EQ(readBytes(f.weatherData(theirs)), "theirs");
    ASSERT_EQ(f.report.messages.size(), 1u);
    EXPECT_TRUE(test::contains(f.report.messages[0], theirs)) << f.report.messages[0];
  }
}

TEST(RenamePlace, AChangeOfLetterCaseTakesTheDataAlong) {
  FormFixture f;
  writeGbk(f.website("beijing.txt"), u"http://bj/\r\n");
  writePlaceData(f, u"beijing");
  ASSERT_TRUE(f.form->load());
  select(f, u"beijing");
  f.input.answers = {u"Beijing"};
  ASSERT_TRUE(f.form->click(f.form->Command5)) << f.report.messages.back();
  EXPECT_EQ(filesIn(f.weatherData()),
            (std::set<std::string>{"Beijing-WeatherData.xls", "Beijing-WeatherData.pending", "Beijing-WeatherData.html"}));
}

TEST(RenamePlace, RefusesNamesNoFileCanHaveWithAMessageAndNoRefresh) {
  Catalogue f;
  select(f, u"北京");
  addOutsider(f);
  const auto before = filesIn(f.folder.path());
  const Entries listBefore = f.form->List1.entries();
  int expectedMessages = 0;
  for (std::u16string_view bad : {u"a/b", u"../北京2", u"a\\b", u".", u"..", u"a\x01", u"a<b", u"a>b", u"a:b",
                                  u"a\"b", u"a|b", u"a?b", u"a*b"}) {
    f.input.answers = {std::u16string(bad)};
    EXPECT_FALSE(f.form->click(f.form->Command5)) << toUtf8(bad);
    EXPECT_EQ(static_cast<int>(f.report.messages.size()), ++expectedMessages) << toUtf8(bad);
    EXPECT_EQ(f.form->List1.entries(), listBefore) << toUtf8(bad) << ": the list was refreshed";
  }
  EXPECT_EQ(filesIn(f.folder.path()), before);
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(kBeijing + u"\r\n"));
}

TEST(RenamePlace, WithNothingSelectedRenamesTheStrayFileIfThereIsOne) {
  Catalogue f;
  ASSERT_EQ(f.form->List1.selectedIndex(), -1);
  // No stray file: the rename fails.
  f.input.answers = {u"新地"};
  EXPECT_FALSE(f.form->click(f.form->Command5));
  ASSERT_EQ(f.input.asked.size(), 1u);
  EXPECT_EQ(f.input.asked[0].defaultText, u"");
  EXPECT_EQ(f.report.messages.size(), 1u);
  EXPECT_FALSE(fs::exists(f.website("新地.txt")));
  // With one, it becomes the new place's file.
  writeGbk(f.website(".txt"), u"http:\r\n");
  f.input.answers = {u"新地"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  EXPECT_EQ(readBytes(f.website("新地.txt")), "http:\r\n");
  EXPECT_FALSE(fs::exists(f.website(".txt")));
  EXPECT_TRUE(listed(f, u"新地"));
}

// ----------------------------------------------------------------- Delete

TEST(DeletePlace, RemovesOnlyTheCatalogueFileWithoutAskingAndRefreshes) {
  Catalogue f;
  writeGbk(f.weatherData("北京-WeatherData.xls"), u"天气数据文件\r\n");
  select(f, u"北京");
  ASSERT_TRUE(f.form->click(f.form->Command7));
  EXPECT_TRUE(f.input.asked.empty());
  EXPECT_FALSE(fs::exists(f.website("北京.txt")));
  EXPECT_TRUE(fs::exists(f.website("上海.txt")));
  EXPECT_EQ(readBytes(f.weatherData("北京-WeatherData.xls")), gbk(u"天气数据文件\r\n"));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"上海"}));
  EXPECT_EQ(f.form->List1.selectedIndex(), -1);
  EXPECT_EQ(f.form->Text15.text(), u"北京");
}

TEST(DeletePlace, AMissingFileIsNoFailureAndNothingSelectedDeletesOnlyTheStrayFile) {
  Catalogue f;
  writeGbk(f.website(".txt"), u"http:\r\n");
  ASSERT_TRUE(f.form->click(f.form->Command7));
  EXPECT_FALSE(fs::exists(f.website(".txt")));
  EXPECT_EQ(filesIn(f.website()), (std::set<std::string>{"北京.txt", "上海.txt"}));
  select(f, u"北京");
  fs::remove(f.website("北京.txt"));
  ASSERT_TRUE(f.form->click(f.form->Command7));
  EXPECT_EQ(f.form->List1.entries(), (Entries{u"上海"}));
  EXPECT_TRUE(f.report.messages.empty());
}

// ------------------------------------------------------------- Modify URL

TEST(ModifyUrl, OpensTheCatalogueFileWithoutChangingItOrRefreshing) {
  Catalogue f;
  select(f, u"北京");
  addOutsider(f);
  ASSERT_TRUE(f.form->click(f.form->Command4));
  ASSERT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(f.starter.calls[0].commandLine,
            u"rundll32 url.dll,FileProtocolHandler \"" + fromUtf8(f.website("北京.txt")) + u"\"");
  EXPECT_EQ(f.starter.calls[0].style, WindowStyle::NormalFocus);
  EXPECT_EQ(commandline::thingsToOpen(f.starter.calls[0].commandLine),
            (std::vector<std::u16string>{fromUtf8(f.website("北京.txt"))}));
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(kBeijing + u"\r\n"));
  EXPECT_FALSE(listed(f, u"outsider"));
  EXPECT_EQ(f.form->Text14.text(), kBeijing + u"\r\n");
  EXPECT_TRUE(f.input.asked.empty());
}

TEST(ModifyUrl, WithoutAProgramToOpenTheFileTheAddressIsEditedInTheInputBox) {
  Catalogue f;
  select(f, u"北京");
  const std::string file = f.website("北京.txt");
  writeWholeFile(file, gbk(u"http://www.weather.com.cn/weather1d/\r\n101010100.shtml"));  // edited by hand, over two lines
  const std::u16string moved = u"http://www.weather.com.cn/weather1d/101010300.shtml";
  f.starter.failure = "无法打开 " + file + "：没有能打开它的程序";
  f.input.answers = {moved};
  ASSERT_TRUE(f.form->click(f.form->Command4));
  ASSERT_EQ(f.input.asked.size(), 1u);
  EXPECT_EQ(f.input.asked[0].title, u"修改网址");
  EXPECT_EQ(f.input.asked[0].defaultText, kBeijing);
  EXPECT_EQ(f.input.asked[0].prompt, fromUtf8(f.starter.failure) + u"\n请在这里修改：北京 的网址:");
  // Written as every writer of a catalogue file writes: one line, CR LF, GBK.
  EXPECT_EQ(readBytes(file), gbk(moved + u"\r\n"));
  EXPECT_EQ(f.form->Text14.text(), moved + u"\r\n");
  EXPECT_TRUE(f.report.messages.empty());

  // The opener started but failed later: for this file, the box again
  // (Cancel changes nothing); for anything else, a message.
  f.starter.failure.clear();
  ASSERT_TRUE(f.form->click(f.form->Command4));
  EXPECT_TRUE(f.form->userOpenFailed("无法打开 " + file + "：找不到它"));
  ASSERT_EQ(f.input.asked.size(), 2u);
  EXPECT_EQ(f.input.asked[1].defaultText, moved);
  EXPECT_EQ(readBytes(file), gbk(moved + u"\r\n"));
  EXPECT_FALSE(f.form->userOpenFailed("无法打开 /tmp/图表.html：找不到它"));
  EXPECT_EQ(f.report.messages, std::vector<std::string>{"无法打开 /tmp/图表.html：找不到它"});
  EXPECT_EQ(f.input.asked.size(), 2u);
  // On request, with an address another place holds: refused, the file kept.
  f.input.answers = {kShanghai};
  EXPECT_FALSE(f.form->userEditAddress(f.form->List1.selectedIndex()));
  EXPECT_EQ(readBytes(file), gbk(moved + u"\r\n"));
}

TEST(ModifyUrl, WithNothingSelectedCreatesNothingAndOpensTheStrayPath) {
  Catalogue f;
  const auto before = filesIn(f.folder.path());
  ASSERT_TRUE(f.form->click(f.form->Command4));
  EXPECT_EQ(filesIn(f.folder.path()), before);
  ASSERT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(f.starter.calls[0].commandLine,
            u"rundll32 url.dll,FileProtocolHandler \"" + fromUtf8(f.folder.path()) + u"/WebSite/.txt\"");
}

TEST(ModifyUrl, CreatesAMissingFileWithTheNameAndAColonBesideTheProgram) {
  Catalogue f;
  TempFolder elsewhere;
  fs::create_directories(elsewhere / "WebSite");
  select(f, u"北京");
  fs::remove(f.website("北京.txt"));
  {
    InFolder cd(elsewhere.path());
    ASSERT_TRUE(f.form->click(f.form->Command4));
  }
  EXPECT_EQ(readBytes(f.website("北京.txt")), gbk(u"北京:\r\n"));
  EXPECT_FALSE(fs::exists(elsewhere / "WebSite/北京.txt"));
  ASSERT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(f.starter.calls[0].commandLine,
            u"rundll32 url.dll,FileProtocolHandler \"" + fromUtf8(f.website("北京.txt")) + u"\"");
}

TEST(ModifyUrl, AFileThatCannotBeCreatedStartsNothing) {
  Catalogue f;
  select(f, u"北京");
  fs::remove_all(f.website());
  EXPECT_FALSE(f.form->click(f.form->Command4));
  EXPECT_EQ(f.report.messages.size(), 1u);
  EXPECT_TRUE(f.starter.calls.empty());
}

}  // namespace
}  // namespace vantoril
