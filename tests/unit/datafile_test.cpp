// The data file of a place: bytes of a record, header of a new file, and
// what a failed append leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "../support/Fakes.h"
#include "../support/FileSizeLimit.h"
#include "platform/Failure.h"
#include "recording/DataFile.h"
#include "recording/Series.h"

namespace vantoril {
namespace {

using test::TempFolder;

// GBK bytes of the fixed texts, from the code page table.
const std::string kHeaderLine = "\xCC\xEC\xC6\xF8\xCA\xFD\xBE\xDD\xCE\xC4\xBC\xFE\r\n";  // 天气数据文件
const std::string kTimeLabel = "\xCA\xFD\xBE\xDD\xBC\xC7\xC2\xBC\xCA\xB1\xBC\xE4:";     // 数据记录时间:
const std::string kColumns =
    "\xD5\xFB\xB5\xE3\t\xC6\xF8\xCE\xC2\t\xBD\xB5\xCB\xAE\t\xCA\xAA\xB6\xC8\r\n";  // 整点 气温 降水 湿度

// The series of the worked example: entries 25, 24 and 1 as given, the
// rows between made up.
struct Example {
  SeriesLists lists;
  std::string rows;  // the 25 data rows, entry 25 first, as bytes
  Example() {
    auto set = [this](int e, const char16_t* h, const char16_t* t, const char16_t* p, const char16_t* r) {
      lists.hour.values[e] = h;
      lists.temperature.values[e] = t;
      lists.precipitation.values[e] = p;
      lists.humidity.values[e] = r;
    };
    set(25, u"14", u"23", u"0", u"71");
    set(24, u"15", u"24", u"0", u"68");
    rows = "14\t23\t0\t71\r\n15\t24\t0\t68\r\n";
    for (int e = 23; e >= 2; --e) {
      const std::string hour = std::to_string((14 + 25 - e) % 24), temperature = std::to_string(20 + e % 6),
                        humidity = std::to_string(50 + e);
      set(e, fromUtf8(hour).c_str(), fromUtf8(temperature).c_str(), e == 9 ? u"" : u"0.2",
          fromUtf8(humidity).c_str());
      rows += hour + "\t" + temperature + "\t" + (e == 9 ? "" : "0.2") + "\t" + humidity + "\r\n";
    }
    set(1, u"14", u"27", u"0.5", u"59");
    rows += "14\t27\t0.5\t59\r\n";
  }
  std::string recordBytes(const std::string& time) const { return kTimeLabel + time + "\r\n" + kColumns + rows + "\r\n"; }
};

// 示例-WeatherData.xls, with the name spelt out in UTF-8.
std::string examplePath(const TempFolder& folder) {
  return folder / "WeatherData/\xE7\xA4\xBA\xE4\xBE\x8B-WeatherData.xls";
}

void append(const TempFolder& folder, const Example& example, std::u16string_view time = u"2015061914") {
  datafile::appendRecord(folder.path(), u"示例", datafile::recordText(time, example.lists));
}

std::size_t lineCount(const std::string& bytes) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos; at += 2) ++n;
  return n;
}

// ---------------------------------------------------------------------------

TEST(DataFile, WorkedExampleByteForByte) {
  TempFolder folder;
  const Example example;
  append(folder, example);
  const std::string bytes = test::readBytes(examplePath(folder));
  EXPECT_EQ(bytes, kHeaderLine + example.recordBytes("2015061914"));
  EXPECT_EQ(lineCount(bytes), 29u);
  EXPECT_TRUE(bytes.ends_with("14\t27\t0.5\t59\r\n\r\n"));
  // The empty precipitation entry gives two tabs side by side.
  EXPECT_NE(bytes.find("\t\t"), std::string::npos);
}

TEST(DataFile, RecordTextHasTwentySevenLines) {
  const Example example;
  const std::u16string text = datafile::recordText(u"2015061914", example.lists);
  EXPECT_TRUE(text.starts_with(u"数据记录时间:2015061914\r\n整点\t气温\t降水\t湿度\r\n14\t23\t0\t71\r\n15\t24\t0\t68\r\n"));
  EXPECT_TRUE(text.ends_with(u"\r\n14\t27\t0.5\t59\r\n"));
  EXPECT_EQ(lineCount(toUtf8(text)), 27u);
  // All-empty series still give 25 rows of three tabs.
  EXPECT_NE(toUtf8(datafile::recordText(u"", SeriesLists{})).find("\xE6\xB9\xBF\xE5\xBA\xA6\r\n\t\t\t\r\n"),
            std::string::npos);
}

TEST(DataFile, SecondRecordAddsTwentyEightLines) {
  TempFolder folder;
  const Example example;
  append(folder, example);
  append(folder, example, u"2015061915");
  const std::string bytes = test::readBytes(examplePath(folder));
  EXPECT_EQ(bytes, kHeaderLine + example.recordBytes("2015061914") + example.recordBytes("2015061915"));
  EXPECT_EQ(lineCount(bytes), 29u + 28u);
}

TEST(DataFile, AnExistingFileKeepsItsBytes) {
  TempFolder folder;
  const Example example;
  // No header, an odd line end and no line end at the close.
  const std::string old = "old data\n\xCC\xEC\r\npartial line";
  test::writeGbk(examplePath(folder), u"");
  writeWholeFile(examplePath(folder), old);
  append(folder, example);
  EXPECT_EQ(test::readBytes(examplePath(folder)), old + example.recordBytes("2015061914"));
}

TEST(DataFile, AnExistingEmptyFileGetsNoHeader) {
  TempFolder folder;
  const Example example;
  test::writeGbk(examplePath(folder), u"");
  append(folder, example);
  EXPECT_EQ(test::readBytes(examplePath(folder)), example.recordBytes("2015061914"));
}

TEST(DataFile, AMissingDataFolderIsCreated) {
  TempFolder folder;
  ASSERT_FALSE(std::filesystem::exists(folder / "WeatherData"));
  append(folder, Example());
  EXPECT_TRUE(std::filesystem::is_directory(folder / "WeatherData"));
  EXPECT_EQ(lineCount(test::readBytes(examplePath(folder))), 29u);
}

TEST(DataFileFailure, ADataPathThatIsAFolderFailsAndChangesNothing) {
  TempFolder folder;
  std::filesystem::create_directories(examplePath(folder));
  test::writeGbk(examplePath(folder) + "/inside.txt", u"keep");
  EXPECT_THROW(append(folder, Example()), Failure);
  EXPECT_TRUE(std::filesystem::is_directory(examplePath(folder)));
  EXPECT_EQ(test::readBytes(examplePath(folder) + "/inside.txt"), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "WeatherData"),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(DataFileFailure, AFailedAppendLeavesTheFileAsItWas) {
  TempFolder folder;
  const Example example;
  append(folder, example);
  const std::string before = test::readBytes(examplePath(folder));
  {
    // Room for a few bytes of the record only: the write starts, then fails.
    test::FileSizeLimit limit(before.size() + 10);
    ASSERT_TRUE(limit.ok());
    try {
      append(folder, example, u"2015061915");
      ADD_FAILURE() << "the append did not fail";
    } catch (const Failure&) {
    }
  }
  EXPECT_EQ(test::readBytes(examplePath(folder)), before);
}

TEST(DataFileFailure, AFailedFirstAppendLeavesNoFileBehind) {
  TempFolder folder;
  {
    // Room for the header line only.
    test::FileSizeLimit limit(kHeaderLine.size());
    ASSERT_TRUE(limit.ok());
    try {
      append(folder, Example());
      ADD_FAILURE() << "the append did not fail";
    } catch (const Failure&) {
    }
  }
  EXPECT_FALSE(std::filesystem::exists(examplePath(folder)));
  // The next run starts the file afresh, header and all.
  append(folder, Example());
  EXPECT_EQ(test::readBytes(examplePath(folder)), kHeaderLine + Example().recordBytes("2015061914"));
}

TEST(SeriesLists, EmptyingClearsEntriesOneTo25AndLeavesEntryZero) {
  Example example;
  for (SeriesList* l : {&example.lists.hour, &example.lists.humidity}) {
    l->keyPositions[0] = l->valueStarts[0] = l->values[0] = u"zero";
    l->keyPositions[25] = l->valueStarts[25] = u"7";
  }
  example.lists.empty();
  for (const SeriesList* l : {&example.lists.hour, &example.lists.temperature, &example.lists.precipitation,
                              &example.lists.humidity}) {
    for (int e = 1; e <= kSeriesEntries; ++e) {
      EXPECT_EQ(l->values[e], u"");
      EXPECT_EQ(l->keyPositions[e], u"");
      EXPECT_EQ(l->valueStarts[e], u"");
    }
  }
  EXPECT_EQ(example.lists.hour.values[0], u"zero");
  EXPECT_EQ(example.lists.humidity.keyPositions[0], u"zero");
}

}  // namespace
}  // namespace vantoril
