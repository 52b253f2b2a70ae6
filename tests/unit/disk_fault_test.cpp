// Recording runs over three places when the disk does not cooperate: the
// data folder is a file, a data file is a folder, a write stops part-way.
// Whatever fails, every data file is byte for byte what it was or holds one
// whole record more, the run goes on with the next place, and the report
// names each failed place and its file; a record the data file cannot take
// waits in the place's pending file, and the report says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/FileSizeLimit.h"
#include "platform/Cp936.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::contains;

class DiskFaultRun : public ::testing::Test {
 protected:
  test::FormFixture f;
  std::vector<std::u16string> places;

  std::string dataFile(const std::u16string& place) const {
    return f.weatherData(toUtf8(place) + "-WeatherData.xls");
  }

  void SetUp() override {
    const std::u16string page = fromUtf8(readWholeFile(std::string(VANTORIL_TEST_DATA) + "/hangzhou-2014.html"));
    for (const char16_t* name : {u"杭州甲", u"杭州乙", u"杭州丙"}) {
      const std::u16string address = u"http://www.weather.com.cn/" + std::u16string(name);
      test::writeGbk(f.website(toUtf8(name) + ".txt"), address + u"\r\n");
      f.downloader.pages[address] = page;
    }
    ASSERT_TRUE(f.form->load());
    places = f.form->List1.entries();
    ASSERT_EQ(places.size(), 3u);
  }

  // The report line of `place`, "" when the report does not name it.
  std::string lineOf(const std::string& message, const std::u16string& place) const {
    return test::reportLine(message, toUtf8(place));
  }

  std::string pendingFile(const std::u16string& place) const {
    return f.weatherData(toUtf8(place) + "-WeatherData.pending");
  }

  // Runs the record button, which keeps a record and fails no place; the reported message.
  std::string recordKeeping() {
    EXPECT_TRUE(f.form->click(f.form->Command1)) << "the run failed";
    return f.report.messages.empty() ? "" : f.report.messages.back();
  }

  // Runs the record button; the reported message.
  std::string record() {
    EXPECT_FALSE(f.form->click(f.form->Command1)) << "the run did not fail";
    return f.report.messages.empty() ? "" : f.report.messages.back();
  }
};

TEST_F(DiskFaultRun, ADataFolderThatIsAFileFailsEveryPlaceAndStaysAsItWas) {
  const std::string dataFolder = f.folder / "WeatherData";
  test::writeGbk(dataFolder, u"not a folder");
  const std::string message = record();
  // Every place fails for the one cause: one line says it of all three.
  EXPECT_TRUE(contains(message, "\n3 个地名都出错：无法创建文件夹 " + dataFolder + "：同名的文件已经存在（")) << message;
  EXPECT_EQ(test::readBytes(dataFolder), cp936::encode(u"not a folder"));
}

TEST_F(DiskFaultRun, ADataFileThatIsAFolderKeepsThatPlacesRecordInItsPendingFile) {
  std::filesystem::create_directories(dataFile(places[1]));
  test::writeGbk(dataFile(places[1]) + "/inside", u"keep");
  const std::string message = recordKeeping();
  const std::string line = lineOf(message, places[1]);
  EXPECT_TRUE(contains(line, std::string(kKeptMessage))) << message;
  EXPECT_TRUE(contains(line, dataFile(places[1]) + "：同名的文件夹已经存在")) << message;
  EXPECT_EQ(test::crlfCount(test::readBytes(pendingFile(places[1]))), 28u);
  EXPECT_EQ(test::readBytes(dataFile(places[1]) + "/inside"), "keep");
  for (int i : {0, 2}) {
    EXPECT_EQ(lineOf(message, places[i]), "") << message;
    EXPECT_EQ(test::crlfCount(test::readBytes(dataFile(places[i]))), 29u);  // header and one record
  }
}

TEST_F(DiskFaultRun, AWriteThatFailsPartWayLeavesTheDataFileAsItWasAndKeepsTheRecord) {
  // The middle place has a long history, so the limit stops its append
  // part-way while the first place's short file still has room.
  std::u16string history = u"天气数据文件\r\n";
  std::u16string record = u"数据记录时间:2014061814\r\n整点\t气温\t降水\t湿度\r\n";
  for (int row = 0; row < 25; ++row) record += u"14\t23\t0\t71\r\n";
  while (history.size() < 40000) history += record + u"\r\n";
  test::writeGbk(dataFile(places[1]), history);
  const std::string before = test::readBytes(dataFile(places[1]));
  std::string message;
  {
    test::FileSizeLimit limit(before.size() + 100);
    ASSERT_TRUE(limit.ok());
    message = recordKeeping();
  }
  EXPECT_TRUE(contains(lineOf(message, places[1]), dataFile(places[1]))) << message;
  EXPECT_EQ(test::readBytes(dataFile(places[1])), before);
  EXPECT_EQ(test::crlfCount(test::readBytes(pendingFile(places[1]))), 28u);
  for (int i : {0, 2}) EXPECT_EQ(test::crlfCount(test::readBytes(dataFile(places[i]))), 29u);
}

TEST_F(DiskFaultRun, AFirstRecordThatCannotBeWrittenLeavesNoDataFile) {
  std::string message;
  {
    // Room for the header line only, for every file, the pending files too.
    test::FileSizeLimit limit(cp936::encode(u"天气数据文件\r\n").size());
    ASSERT_TRUE(limit.ok());
    message = record();
  }
  for (const auto& place : places) EXPECT_TRUE(contains(lineOf(message, place), "-WeatherData.xls")) << message;
  EXPECT_TRUE(std::filesystem::is_empty(f.weatherData()));
}

}  // namespace
}  // namespace vantoril
