// Catalogues no one should have, and the program living with them: very
// many places, deep folders, link loops, names that are not UTF-8, names at
// the file system's length limit, characters beyond the Basic Plane.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "../support/Fakes.h"
#include "../support/ManyPlaces.h"
#include "../support/SampleData.h"
#include "platform/Cp936.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::FormFixture;

const std::u16string kAddress = u"http://www.weather.com.cn/weather1d/101210101.shtml";

// Gives every listed place the sample page.
void serveEveryPlace(FormFixture& f) {
  f.downloader.pages[kAddress] = fromUtf8(test::sampleData("hangzhou-2014.html"));
}

// bench/many_places times the same with 100,000 places.
TEST(CatalogueAbuse, TwoThousandPlacesInTwoFoldersAreListedAndCanBeUsed) {
  FormFixture f;
  test::writeManyPlaces(f, 2000);
  ASSERT_TRUE(f.form->load());
  ASSERT_EQ(f.form->List1.entryCount(), 2000);
  const std::set<std::u16string> distinct(f.form->List1.entries().begin(), f.form->List1.entries().end());
  EXPECT_EQ(distinct.size(), 2000u);
  // The catalogue folder's own files come first; a click reads its own.
  ASSERT_TRUE(f.form->userSelect(999));
  const std::u16string name = f.form->List1.entries()[999];
  ASSERT_TRUE(name.starts_with(u"地"));
  const int place = std::stoi(toUtf8(name.substr(1)));
  EXPECT_LT(place, 1000);
  EXPECT_EQ(f.form->Text14.text(), fromUtf8(test::placeAddress(place)) + u"\r\n");
  EXPECT_TRUE(f.report.messages.empty());
}

TEST(CatalogueAbuse, APlaceFiftyFoldersDeepIsListed) {
  FormFixture f;
  std::string deep = f.website();
  for (int depth = 1; depth <= 50; ++depth) deep += "层" + std::to_string(depth) + "/";
  test::writeGbk(deep + "深处.txt", kAddress + u"\r\n");
  test::writeGbk(f.website("浅处.txt"), kAddress + u"\r\n");
  ASSERT_TRUE(f.form->load());
  EXPECT_EQ(f.form->List1.entries(), (std::vector<std::u16string>{u"浅处", u"深处"}));
}

TEST(CatalogueAbuse, LinkLoopsEndTheScanAndCountAsNoFile) {
  FormFixture f;
  test::writeGbk(f.website("杭州.txt"), kAddress + u"\r\n");
  std::filesystem::create_directories(f.website("sub"));
  // A folder link back up to the catalogue, a link to itself, and two
  // links that point at each other, named like catalogue files.
  std::filesystem::create_directory_symlink("..", f.website("sub/up"));
  std::filesystem::create_symlink("self.txt", f.website("self.txt"));
  std::filesystem::create_symlink("pong.txt", f.website("ping.txt"));
  std::filesystem::create_symlink("ping.txt", f.website("pong.txt"));
  ASSERT_TRUE(f.form->load());
  EXPECT_EQ(f.form->List1.entries(), std::vector<std::u16string>{u"杭州"});
  EXPECT_TRUE(f.report.messages.empty());
  // Opening such a place as if it were listed: "missing" makes the list
  // click write the placeholder, which a link loop refuses with a message.
  f.form->List1.addEntry(u"self");
  EXPECT_FALSE(f.form->userSelect(1));
  ASSERT_EQ(f.report.messages.size(), 1u);
  EXPECT_NE(f.report.messages[0].find("self.txt：同名的链接或特殊文件已经存在"), std::string::npos)
      << f.report.messages[0];
}

TEST(CatalogueAbuse, APlaceWhoseNameIsNotUtf8IsRecordedUnderItsOwnBytes) {
  FormFixture f;
  serveEveryPlace(f);
  const std::string gbkName = "\xBA\xBC\xD6\xDD";  // 杭州 in GBK, as a file copied from Windows keeps it
  test::writeGbk(f.website(gbkName + ".txt"), kAddress + u"\r\n");
  ASSERT_TRUE(f.form->load());
  ASSERT_TRUE(f.form->click(f.form->Command1)) << (f.report.messages.empty() ? "" : f.report.messages[0]);
  EXPECT_TRUE(fileExists(f.weatherData(gbkName + "-WeatherData.xls")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.weatherData()), {}), 2);  // and 一览.html
}

TEST(CatalogueAbuse, NamesAtTheLengthLimitFailWithAMessageNamingTheFile) {
  FormFixture f;
  serveEveryPlace(f);
  // 251 bytes: with ".txt" the longest name a file can have, too long for
  // the data file's name.
  std::string longName;
  while (longName.size() + 3 <= 251) longName += "杭";
  while (longName.size() < 251) longName += "x";
  test::writeGbk(f.website(longName + ".txt"), kAddress + u"\r\n");
  ASSERT_TRUE(f.form->load());
  ASSERT_EQ(f.form->List1.entryCount(), 1);
  ASSERT_TRUE(f.form->userSelect(0));
  EXPECT_EQ(f.form->Text14.text(), kAddress + u"\r\n");

  EXPECT_FALSE(f.form->click(f.form->Command1));
  ASSERT_EQ(f.report.messages.size(), 1u);
  const std::string& message = f.report.messages[0];
  EXPECT_NE(test::reportLine(message, longName), "") << message;
  EXPECT_NE(message.find(longName + "-WeatherData.xls"), std::string::npos) << message;
  EXPECT_NE(message.find("File name too long"), std::string::npos) << message;
  // No file but the overview page, which names the place as failing.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.weatherData()), {}), 1);
  EXPECT_TRUE(fileExists(f.weatherData("一览.html")));

  // New and Rename with a name one byte too long: a message, nothing made.
  f.input.answers = {fromUtf8(longName + "y"), kAddress + u"?another"};  // an address no place has
  EXPECT_FALSE(f.form->click(f.form->Command6));
  f.input.answers = {fromUtf8(longName + "y")};
  EXPECT_FALSE(f.form->click(f.form->Command5));
  ASSERT_EQ(f.report.messages.size(), 3u);
  for (int i = 1; i < 3; ++i) EXPECT_NE(f.report.messages[i].find("File name too long"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.website()), {}), 1);
  EXPECT_TRUE(fileExists(f.website(longName + ".txt")));
}

TEST(CatalogueAbuse, NamesBeyondTheBasicPlaneWorkThroughNewRecordAndRename) {
  FormFixture f;
  serveEveryPlace(f);
  const std::u16string name = u"𠀀𝄞地";  // two characters of two UTF-16 units each
  f.input.answers = {name, kAddress};
  ASSERT_TRUE(f.form->click(f.form->Command6));
  ASSERT_EQ(f.form->List1.entries(), std::vector<std::u16string>{name});
  EXPECT_TRUE(fileExists(f.website(toUtf8(name) + ".txt")));

  ASSERT_TRUE(f.form->click(f.form->Command1)) << (f.report.messages.empty() ? "" : f.report.messages[0]);
  EXPECT_TRUE(fileExists(f.weatherData(toUtf8(name) + "-WeatherData.xls")));

  ASSERT_TRUE(f.form->userSelect(0));
  f.input.answers = {u"𠀁地"};
  ASSERT_TRUE(f.form->click(f.form->Command5));
  EXPECT_EQ(f.form->List1.entries(), std::vector<std::u16string>{u"𠀁地"});
}

}  // namespace
}  // namespace vantoril
