// The data file of a place: bytes of a record, header of a new file, and
// what a failed append leaves behind.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/FileSizeLimit.h"
#include "../support/Immutable.h"
#include "../support/SampleData.h"
#include "../support/SitePages.h"
#include "platform/Failure.h"
#include "datafile/DataFile.h"
#include "datafile/Format.h"
#include "datafile/LastRecord.h"
#include "recording/Observation.h"
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

// 示例-WeatherData.pending
std::string pendingPath(const TempFolder& folder) {
  return folder / "WeatherData/\xE7\xA4\xBA\xE4\xBE\x8B-WeatherData.pending";
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

// The site's real layouts (the sample pages, the demo pages, a page as the
// site serves it today, the bare numbers of the newer pages) give the very
// records they gave before the values were checked.
TEST(DataFile, TheRealLayoutsAreRecordedUnchanged) {
  std::vector<std::u16string> pages;
  for (const std::string file : {"hangzhou-2014.html", "harbin-2016.html", "../../demo/pages/beijing.html",
                                 "../../demo/pages/guangzhou.html", "../../demo/pages/harbin.html"})
    pages.push_back(fromUtf8(test::sampleData(file)));
  pages.push_back(test::pageWith(test::siteTime(std::chrono::hours(1)), "杭州"));
  std::u16string bare = pages[1];
  for (const auto& [from, to] : {std::pair<std::u16string, std::u16string>{u"\"od22\":\"-10.5\"", u"\"od22\":-10.5"},
                                 {u"\"od26\":\"12.5\"", u"\"od26\": 12.5 "}, {u"\"od27\":\"61\"", u"\"od27\":61"},
                                 {u"\"od22\":\"-8\"", u"\"od22\":\"null\""}, {u"\"od26\":\"0.0\"", u"\"od26\":\"--\""}})
    bare.replace(bare.find(from), from.size(), to);
  pages.push_back(bare);
  for (const std::u16string& page : pages) {
    const std::u16string block = cutBlock(page).block;
    const ObservationTime time = observationTime(block);
    const auto keys = findSeriesKeys(block);
    SeriesLists lists;
    std::u16string expected = u"数据记录时间:" + time.time + u"\r\n整点\t气温\t降水\t湿度\r\n";
    for (std::size_t s = 0; s < std::size(kSeriesKeys); ++s) extractSeries(block, kSeriesKeys[s], keys[s], lists.*kSeriesKeys[s].list);
    for (int e = kSeriesEntries; e >= 1; --e)
      expected += lists.hour.values[e] + u"\t" + lists.temperature.values[e] + u"\t" + lists.precipitation.values[e] +
                  u"\t" + lists.humidity.values[e] + u"\r\n";
    EXPECT_EQ(datafile::recordText(time.time, lists), expected);
  }
  EXPECT_NE(toUtf8(pages.back()).find("\"od22\":\"null\""), std::string::npos);
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

// 示例-WeatherData.damaged
std::string damagedPath(const TempFolder& folder) {
  return folder / "WeatherData/\xE7\xA4\xBA\xE4\xBE\x8B-WeatherData.damaged";
}

// A data file whose end is torn (by a power cut, a crash or an edit) gives
// that end to the damaged file, after what it held, and the record starts
// on a line of its own; an end that is only odd, and an empty file, keep
// every byte.
TEST(DataFile, ATornEndIsMovedToTheDamagedFileAndAnEditedOneKept) {
  const Example example;
  const std::string one = kHeaderLine + example.recordBytes("2015061901"), two = example.recordBytes("2015061902");
  std::string resaved = kHeaderLine + example.recordBytes("2015061901") + two;  // LF line ends, no last blank line
  for (std::size_t at; (at = resaved.find("\r\n")) != std::string::npos;) resaved.replace(at, 2, "\n");
  resaved.pop_back();
  // As LibreOffice saves it: a byte-order mark, every line of four cells.
  std::string tabbed = "\xEF\xBB\xBF";
  for (std::size_t at = 0, next; at < resaved.size(); at = next + 1) {
    next = resaved.find('\n', at);
    const std::string line = resaved.substr(at, next - at);
    tabbed += line + std::string(3 - std::count(line.begin(), line.end(), '\t'), '\t') + "\n";
  }
  // More than 64 KiB: a record cut short after a hundred whole ones.
  std::string big = kHeaderLine;
  for (int k = 0; k < 200; ++k) big += example.recordBytes(std::to_string(2015061900 + k % 24));
  const std::string whole = one + two.substr(0, two.size() - 4), row26 = two.substr(0, two.find("14\t27\t0.5"));
  const struct {
    const char* name;
    std::string before, kept, torn;  // the data file; what stays of it; what goes
  } cases[] = {
      {"half a record", one + two.substr(0, two.size() / 2), one, two.substr(0, two.size() / 2)},
      {"a record cut after a row's line break", one + two.substr(0, two.find("\r\n15\t") + 2), one,
       two.substr(0, two.find("\r\n15\t") + 2)},
      {"a time label cut short", one + two.substr(0, 3), one, two.substr(0, 3)},
      {"zeros a power cut left", one + std::string(4096, '\0'), one, std::string(4096, '\0')},
      {"a first write cut in the header", kHeaderLine.substr(0, 5), kHeaderLine, kHeaderLine.substr(0, 5)},
      {"a last line without line break", "old data\n\xCC\xEC\r\npartial line", "old data\n\xCC\xEC\r\n", "partial line"},
      {"a record of 26 whole lines", one + row26, one, row26},
      {"a last row cut in its cells", one + two.substr(0, two.size() - 9), one, two.substr(0, two.size() - 9)},
      {"a record cut short after 64 KiB of records", big + two.substr(0, 300), big, two.substr(0, 300)},
      {"a whole record without its last line break", whole, whole + "\r\n", ""},
      {"the same with LF line ends", resaved.substr(0, resaved.size() - 1), resaved, ""},
      {"a write cut between CR and LF", one + two.substr(0, two.size() - 1), one + two, ""},
      {"a trailing blank line", one + "\r\n", one + "\r\n", ""},
      {"a spreadsheet's re-save", resaved, resaved, ""},
      {"LibreOffice's re-save", tabbed, tabbed, ""},
      {"a note typed after the records", one + "\xB1\xB8\xD7\xA2\r\n", one + "\xB1\xB8\xD7\xA2\r\n", ""},
      {"the header alone", kHeaderLine, kHeaderLine, ""},
      {"an empty file", "", kHeaderLine, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    test::writeGbk(examplePath(folder), u"");
    writeWholeFile(examplePath(folder), c.before);
    writeWholeFile(damagedPath(folder), "earlier\r\n");
    // A note a crash left under its temporary name goes at the place's turn.
    const std::string leftOver = temporaryPath(folder / "WeatherData/\xE7\xA4\xBA\xE4\xBE\x8B-WeatherData.landing");
    writeWholeFile(leftOver, "new\r\nhalf");
    const datafile::Appended appended =
        datafile::appendRecord(folder.path(), u"示例", datafile::recordText(u"2015061914", example.lists));
    EXPECT_FALSE(appended.kept);
    EXPECT_EQ(test::readBytes(examplePath(folder)), c.kept + example.recordBytes("2015061914"));
    EXPECT_EQ(test::readBytes(damagedPath(folder)), "earlier\r\n" + c.torn);
    EXPECT_FALSE(fileExists(leftOver));
    if (c.torn.empty()) {
      EXPECT_EQ(appended.repaired, "");
    } else {
      EXPECT_TRUE(test::contains(appended.repaired, std::to_string(c.torn.size()) + " 字节")) << appended.repaired;
      EXPECT_TRUE(test::contains(appended.repaired, damagedPath(folder))) << appended.repaired;
    }
  }
}

TEST(DataFile, AMissingDataFolderIsCreated) {
  TempFolder folder;
  ASSERT_FALSE(std::filesystem::exists(folder / "WeatherData"));
  append(folder, Example());
  EXPECT_TRUE(std::filesystem::is_directory(folder / "WeatherData"));
  EXPECT_EQ(lineCount(test::readBytes(examplePath(folder))), 29u);
}

// What the data file cannot take waits in the pending file, the data file
// unchanged, whatever stands in the way.
TEST(DataFileFailure, ARecordTheDataFileCannotTakeIsKeptInThePendingFile) {
  const Example example;
  const struct {
    const char* name;
    std::function<void(const TempFolder&)> block;  // makes the data file refuse the next append
  } cases[] = {
      {"a folder in the data file's place",
       [](const TempFolder& folder) {
         std::filesystem::remove(examplePath(folder));
         std::filesystem::create_directories(examplePath(folder) + "/inside");
       }},
      {"a write that stops part-way", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    append(folder, example);
    if (c.block) c.block(folder);
    const bool exists = std::filesystem::is_regular_file(examplePath(folder));
    const std::string before = exists ? test::readBytes(examplePath(folder)) : "";
    datafile::Appended appended;
    {
      // Room for a few bytes more only: the write starts, then fails;
      // the pending file, new and short, has room.
      test::FileSizeLimit limit(exists ? before.size() + 10 : 1 << 20);
      ASSERT_TRUE(limit.ok());
      appended = datafile::appendRecord(folder.path(), u"示例", datafile::recordText(u"2015061915", example.lists));
    }
    EXPECT_TRUE(appended.kept);
    EXPECT_TRUE(test::contains(appended.cause, "-WeatherData.xls")) << appended.cause;
    if (exists) {
      EXPECT_EQ(test::readBytes(examplePath(folder)), before);
    }
    EXPECT_EQ(test::readBytes(pendingPath(folder)), example.recordBytes("2015061915"));
  }
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

// Pending records ------------------------------------------------------------

// Appends the example with observation time 20150619<hour>; whether it was kept.
bool appendAt(const TempFolder& folder, int hour, rlim_t sizeLimit = RLIM_INFINITY) {
  const Example example;
  const std::u16string time = u"20150619" + fromUtf8(std::to_string(hour));
  if (sizeLimit == RLIM_INFINITY)
    return datafile::appendRecord(folder.path(), u"示例", datafile::recordText(time, example.lists)).kept;
  test::FileSizeLimit limit(sizeLimit);
  if (!limit.ok()) throw std::runtime_error("cannot lower the file size limit");
  return datafile::appendRecord(folder.path(), u"示例", datafile::recordText(time, example.lists)).kept;
}

// The data file's bytes after records of these hours.
std::string dataWith(std::initializer_list<int> hours) {
  std::string bytes = kHeaderLine;
  for (int h : hours) bytes += Example().recordBytes("20150619" + std::to_string(h));
  return bytes;
}

// Entries of WeatherData besides the data file.
std::vector<std::string> othersIn(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(test::fsPath(folder / "WeatherData")))
    if (test::utf8Path(e.path()) != examplePath(folder)) names.push_back(test::utf8Path(e.path().filename()));
  return names;
}

TEST(PendingRecords, LandBeforeTheNewRecordInTheirOrderAndThePendingFileGoes) {
  TempFolder folder;
  // A long data file, so that the limit that stops its appends leaves room
  // for the short pending file.
  for (int h : {1, 2, 3, 4}) EXPECT_FALSE(appendAt(folder, h));
  const auto size = std::filesystem::file_size(test::fsPath(examplePath(folder)));
  EXPECT_TRUE(appendAt(folder, 5, size + 10));
  EXPECT_TRUE(appendAt(folder, 6, size + 10));
  EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 2, 3, 4}));
  EXPECT_EQ(test::readBytes(pendingPath(folder)), dataWith({5, 6}).substr(kHeaderLine.size()));
  EXPECT_FALSE(appendAt(folder, 7));
  EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(othersIn(folder), std::vector<std::string>{});
}

// Into a missing data file, or one a crash left empty between its creation
// and its first write; a note's temporary file a crash left goes too.
TEST(PendingRecords, AFirstRecordThatWaitedStartsTheDataFileWithItsHeader) {
  for (const bool empty : {false, true}) {
    TempFolder folder;
    std::filesystem::create_directories(examplePath(folder));  // a folder in the data file's place
    EXPECT_TRUE(appendAt(folder, 10));
    std::filesystem::remove(test::fsPath(examplePath(folder)));
    if (empty) writeWholeFile(examplePath(folder), "");
    writeWholeFile(folder / "WeatherData/\xE7\xA4\xBA\xE4\xBE\x8B-WeatherData.landing.tmp", "new\r\nhalf");
    EXPECT_FALSE(appendAt(folder, 11));
    EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({10, 11}));
    EXPECT_EQ(othersIn(folder), std::vector<std::string>{});
  }
}

// A process killed while its pending records are half written into the data
// file: the next append cuts the half off and writes them once, whole.
TEST(PendingRecords, ACrashHalfWayThroughLandingThemIsCutBackAndTheyLandOnce) {
  TempFolder folder;
  for (int h : {1, 2, 3, 4, 5}) appendAt(folder, h);
  const auto size = static_cast<rlim_t>(std::filesystem::file_size(test::fsPath(examplePath(folder))));
  ASSERT_TRUE(appendAt(folder, 6, size + 10));
  const rlim_t half = Example().recordBytes("2015061906").size() / 2;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Past the limit the system kills the writer, as a crash would.
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit{size + half, size + half};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    try {
      appendAt(folder, 7);
    } catch (...) {
    }
    ::_exit(3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the writer was not stopped half-way: " << status;
  ASSERT_EQ(std::filesystem::file_size(test::fsPath(examplePath(folder))), size + half);

  EXPECT_FALSE(appendAt(folder, 8));
  EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 2, 3, 4, 5, 6, 8}));
  EXPECT_EQ(othersIn(folder), std::vector<std::string>{});
}

// Like a crash between writing the pending records into the data file and
// removing the pending file: they are never written a second time.
TEST(PendingRecords, APendingFileThatCannotBeRemovedIsNeverWrittenTwice) {
  TempFolder folder;
  appendAt(folder, 1);
  const auto size = std::filesystem::file_size(test::fsPath(examplePath(folder)));
  ASSERT_TRUE(appendAt(folder, 2, size + 10));
  {
    const test::Immutable stuck(pendingPath(folder));
    if (!stuck.ok()) GTEST_SKIP() << "chattr +i does not work here (needs root and ext4 or the like)";
    EXPECT_FALSE(appendAt(folder, 3));
    EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 2, 3}));
    EXPECT_TRUE(std::filesystem::exists(test::fsPath(pendingPath(folder))));
    // While the pending file cannot go, the next records go alone; nor does
    // an edit of the data file bring its records back.
    EXPECT_FALSE(appendAt(folder, 4));
    EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 2, 3, 4}));
    writeWholeFile(examplePath(folder), dataWith({1}));
    EXPECT_FALSE(appendAt(folder, 5));
    EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 5}));
  }
  {
    // The pending file may be written but not removed (its folder is
    // immutable): a record the data file cannot take fails, and the pending
    // file takes no more.
    const std::string held = test::readBytes(pendingPath(folder));
    const test::Immutable stuckFolder(datafile::folder(folder.path()));
    ASSERT_TRUE(stuckFolder.ok());
    const auto full = static_cast<rlim_t>(std::filesystem::file_size(test::fsPath(examplePath(folder))));
    EXPECT_THROW(appendAt(folder, 6, full + 10), Failure);
    EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 5}));
    EXPECT_EQ(test::readBytes(pendingPath(folder)), held);
  }
  EXPECT_FALSE(appendAt(folder, 7));
  EXPECT_EQ(test::readBytes(examplePath(folder)), dataWith({1, 5, 7}));
  EXPECT_EQ(othersIn(folder), std::vector<std::string>{});
}

// The newest record of a place, as the run tells hours lost: the pending
// file's last before the data file's (while the data file is held, the
// newest wait there); the data file's last 64 KiB read first, the whole
// file when they hold none; a byte-order mark passed over.
TEST(LastRecord, ThePendingFilesLastThenTheDataFilesWhereverItStands) {
  TempFolder folder;
  const auto newest = [&] { return datafile::lastRecordHour(folder.path(), u"示例"); };
  EXPECT_EQ(newest(), std::nullopt);
  for (int h : {10, 11}) appendAt(folder, h);
  EXPECT_EQ(newest(), datafile::parseHour(u"2015061911"));
  writeWholeFile(pendingPath(folder), "\xEF\xBB\xBF" + Example().recordBytes("2015061905"));
  EXPECT_EQ(newest(), datafile::parseHour(u"2015061905"));
  std::filesystem::remove(test::fsPath(pendingPath(folder)));
  std::string blank;
  while (blank.size() <= 64 * 1024) blank += "\t\t\t\n";
  appendToFile(examplePath(folder), blank);
  EXPECT_EQ(newest(), datafile::parseHour(u"2015061911"));
  // The append finds it as well, in the one reading of the file it makes.
  EXPECT_EQ(datafile::appendRecord(folder.path(), u"示例", datafile::recordText(u"2015061912", Example().lists)).before,
            datafile::parseHour(u"2015061911"));
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
