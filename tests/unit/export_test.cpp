// The record taken out as a table, and what it misses: data files of the
// real layout against tables worked out by hand. Built for both systems:
// the Windows program must write the same bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "app/ListMenu.h"
#include "chart/ChartPage.h"
#include "export/Coverage.h"
#include "export/Export.h"
#include "overview/Overview.h"
#include "quality/Quality.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"

namespace vantoril {
namespace {

using chart::HourIndex;
using test::FormFixture;

// A record as a data file holds it: its time line, the column line, 25 rows
// (the hour of day, temperature `base` + row, precipitation 0, humidity
// 50 + row) and an empty line; `edit` may change row r's text.
std::u16string record(std::u16string_view observation, int base,
                      const std::function<void(int, std::u16string&)>& edit = nullptr) {
  std::u16string text = u"数据记录时间:" + std::u16string(observation) + u"\r\n整点\t气温\t降水\t湿度\r\n";
  const int hour = std::stoi(toUtf8(observation.substr(8)));
  for (int r = 0; r < 25; ++r) {
    std::u16string row = decimal((hour + r) % 24) + u"\t" + decimal(base + r) + u"\t0\t" + decimal(50 + r);
    if (row.size() < 12 && row[1] == u'\t') row.insert(0, u"0");
    if (edit) edit(r, row);
    text += row + u"\r\n";
  }
  return text + u"\r\n";
}

constexpr std::u16string_view kHeader = u"天气数据文件\r\n";

// 杭州: five records, the fourth still pending.
//   R1 2026-12-30 12 (base 0):   12-29 12 to 12-30 12; its row of 12-29 17 has three fields (a gap).
//   R2 2026-12-31 06 (base 100): 12-30 06 to 12-31 06, over R1 from 12-30 06; 12-30 16 has no
//      temperature; 12-30 17 holds -3.5, "=1+1", "@SUM(1)".
//   R5 2027-01-04 05 (base 400): 01-03 05 to 01-04 05, after two days without records; its row
//      of 01-03 15 has five fields (a gap).
//   R3 2027-01-01 02 (base 200), written after R5: 12-31 02 to 01-01 02, over R2 from 12-31 02.
//   R4 2027-01-01 04 (base 300), pending: 12-31 04 to 01-01 04, over R3 from 12-31 04.
// 临安,余杭: one record of 2026-12-01 00 (base 0), across the month's end. 上海: no data file.
void writeSampleData(FormFixture& f) {
  for (const char* place : {"上海", "临安,余杭", "杭州"})
    test::writeGbk(f.website(std::string(place) + ".txt"), u"http:\r\n");
  test::writeGbk(f.weatherData("杭州-WeatherData.xls"),
                 std::u16string(kHeader) + record(u"2026123012", 0, [](int r, std::u16string& row) {
                   if (r == 5) row = u"17\t5\t0";
                 }) + record(u"2026123106", 100, [](int r, std::u16string& row) {
                   if (r == 10) row = u"16\t\t0\t60";
                   if (r == 11) row = u"17\t-3.5\t=1+1\t@SUM(1)";
                 }) + record(u"2027010405", 400, [](int r, std::u16string& row) {
                   if (r == 10) row = u"15\t410\t0\t60\t1";
                 }) + record(u"2027010102", 200));
  test::writeGbk(f.weatherData("杭州-WeatherData.pending"), record(u"2027010104", 300));
  test::writeGbk(f.weatherData("临安,余杭-WeatherData.xls"), std::u16string(kHeader) + record(u"2026120100", 0));
}

// The rows worked out by hand: place, first and last hour of a run of hours
// taken from one record, and the temperature and humidity of its first hour
// (each hour after it one more), precipitation 0.
struct Run {
  const char* place;
  const char* first;  // "yyyy-mm-ddThh"
  int hours, temperature, humidity;
};
constexpr Run kRuns[] = {
    {"\"临安,余杭\"", "2026-11-30T00", 25, 0, 50},
    {"杭州", "2026-12-29T12", 5, 0, 50},    // R1
    {"杭州", "2026-12-29T18", 12, 6, 56},   // R1, after its broken row
    {"杭州", "2026-12-30T06", 10, 100, 50}, // R2 from here on
    {"杭州", "2026-12-30T18", 8, 112, 62},  // R2, after its two odd rows (below)
    {"杭州", "2026-12-31T02", 2, 200, 50},  // R3
    {"杭州", "2026-12-31T04", 25, 300, 50}, // R4, pending, the newest of these hours
    {"杭州", "2027-01-03T05", 10, 400, 50}, // R5
    {"杭州", "2027-01-03T16", 14, 411, 61}, // R5, after its broken row
};

std::string hourAfter(const char* first, int k) {
  const chart::HourIndex h =
      *chart::parseHour(fromUtf8(std::string(first, 4) + std::string(first + 5, 2) + std::string(first + 8, 2) +
                                 std::string(first + 11, 2))) +
      k;
  std::string time = chart::isoHour(h);  // "2026-12-07T14:00+08:00" as "2026-12-07 14:00"
  time[10] = ' ';
  return time.substr(0, 16);
}

std::string expectedTable(char separator) {
  const std::string s(1, separator);
  std::string table = "\xEF\xBB\xBF地名" + s + "时间（北京时间）" + s + "气温" + s + "降水" + s + "湿度" + s + "质量\r\n";
  // Every temperature of 100 or more is marked; nothing else is.
  const auto marked = [&s](int temperature) { return s + (temperature > 60 ? "可疑：气温超出 -60…60 °C" : ""); };
  for (const Run& run : kRuns) {
    std::string place = run.place;
    if (separator == '\t' && place.front() == '"') place = place.substr(1, place.size() - 2);
    for (int k = 0; k < run.hours; ++k) {
      table += place + s + hourAfter(run.first, k) + s + std::to_string(run.temperature + k) + s + "0" + s +
               std::to_string(run.humidity + k) + marked(run.temperature + k) + "\r\n";
      // R2's odd rows come right after its tenth hour.
      if (run.temperature == 100 && k == 9) {
        table += place + s + "2026-12-30 16:00" + s + s + "0" + s + "60" + s + "\r\n";
        table += place + s + "2026-12-30 17:00" + s + "-3.5" + s + "'=1+1" + s + "'@SUM(1)" + s + "\r\n";
      }
    }
  }
  return table;
}

TEST(Export, TheTableWorkedOutByHandAsCsvAndTsvAPlaceWithoutDataReported) {
  FormFixture f;
  writeSampleData(f);
  const std::vector<std::u16string> places =
      exporting::placesInListOrder(exporting::listedPlaces(f.folder.path()), {});
  ASSERT_EQ(places, (std::vector<std::u16string>{u"上海", u"临安,余杭", u"杭州"}));
  for (const char* name : {"t.csv", "T.TSV"}) {
    SCOPED_TRACE(name);
    const std::string path = f.folder / name;
    const exporting::ExportResult result = exporting::exportTable(f.folder.path(), path, places);
    EXPECT_EQ(test::readBytes(path), expectedTable(name[0] == 't' ? ',' : '\t'));
    EXPECT_EQ(result.rows, 25 + 88);
    EXPECT_EQ(result.places, 2);
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_TRUE(test::contains(result.failed[0], "上海：没有数据文件 ")) << result.failed[0];
    EXPECT_FALSE(fileExists(path + ".part"));
  }
}

TEST(Export, WithGapsEveryHourBetweenAPlacesFirstAndLastIsARow) {
  FormFixture f;
  writeSampleData(f);
  const std::string path = f.folder / "gaps.csv";
  const auto result = exporting::exportTable(f.folder.path(), path, {u"杭州"}, {.withGaps = true});
  EXPECT_EQ(result.rows, 138);
  const std::vector<std::string> lines = test::linesOf(test::readBytes(path));
  ASSERT_EQ(lines.size(), 139u);
  // Rows in time order, one an hour; the missing ones without values.
  for (std::size_t k = 1; k < lines.size(); ++k)
    EXPECT_TRUE(lines[k].starts_with("杭州," + hourAfter("2026-12-29T12", static_cast<int>(k) - 1) + ",")) << k;
  EXPECT_EQ(lines[6], "杭州,2026-12-29 17:00,,,,\r");
  EXPECT_EQ(lines[65], "杭州,2027-01-01 04:00,324,0,74,可疑：气温超出 -60…60 °C\r");
  EXPECT_EQ(lines[66], "杭州,2027-01-01 05:00,,,,\r");
  EXPECT_EQ(lines[113], "杭州,2027-01-03 04:00,,,,\r");
  EXPECT_EQ(lines[114], "杭州,2027-01-03 05:00,400,0,50,可疑：气温超出 -60…60 °C\r");
}

TEST(Export, CoverageOfTheSameRecords) {
  FormFixture f;
  writeSampleData(f);
  const auto text = chart::placeText(f.folder.path(), u"杭州");
  ASSERT_TRUE(text);
  const exporting::Coverage c = exporting::coverageOf(chart::readHourTexts(*text).hours);
  EXPECT_EQ(c.recorded, 88);
  EXPECT_EQ(c.missing, 50);
  EXPECT_EQ(exporting::coverageText(c),
            "2026-12-29 12时 至 2027-01-04 05时：记录 88 小时，缺 50 小时（36.2%）；最长的缺口："
            "2027-01-01 05时起 48 小时、2026-12-29 17时起 1 小时、2027-01-03 15时起 1 小时");
  // The chart page says the same above its plot and shades the three gaps.
  const std::string page = readWholeFile(chart::writePage(f.folder.path(), u"杭州"));
  EXPECT_TRUE(test::contains(page, "<p class=\"coverage\">" + exporting::coverageText(c) + "</p>"));
  std::size_t shaded = 0;
  for (std::size_t at = 0; (at = page.find("<rect class=\"gap\"", at)) != std::string::npos; ++at) ++shaded;
  EXPECT_EQ(shaded, 3u);
  // Over ten years, a gap narrower than a pixel is not shaded; a week is.
  chart::History decade;
  decade.records = 1;
  for (HourIndex h = 0; h < 87600; h += h == 40000 ? 168 : 2) decade.hours.push_back({h, 1, 0, 50});
  const std::string decadePage = chart::pageText(u"x", decade);
  EXPECT_EQ(decadePage.find("<rect class=\"gap\""), decadePage.rfind("<rect class=\"gap\""));
  EXPECT_TRUE(test::contains(decadePage, "起 167 小时</title>"));

  struct Case {
    std::vector<int> hours;
    const char* text;
  };
  const Case cases[] = {
      {{}, "还没有记录"},
      {{5}, "1970-01-01 05时 至 1970-01-01 05时：记录 1 小时，缺 0 小时（0.0%）；没有缺口"},
      {{0, 2, 5, 9, 10, 14},
       "1970-01-01 00时 至 1970-01-01 14时：记录 6 小时，缺 9 小时（60.0%）；最长的缺口："
       "1970-01-01 06时起 3 小时、1970-01-01 11时起 3 小时、1970-01-01 03时起 2 小时"},
  };
  for (const Case& k : cases) {
    std::vector<chart::HourValues> hours;
    for (const int h : k.hours) hours.push_back({h, 0, 0, 0});
    EXPECT_EQ(exporting::coverageText(exporting::coverageOf(hours)), k.text);
  }
}

TEST(Export, CellsNoSpreadsheetReadsAsAFormulaQuotedByRfc4180) {
  struct Case {
    std::u16string_view cell;
    const char* csv;
    const char* tsv;
  };
  const Case cases[] = {
      {u"23", "23", "23"},
      {u"-3.5", "-3.5", "-3.5"},
      {u"-12", "-12", "-12"},
      {u"1 =1", "1 =1", "1 =1"},
      {u" =1+2", "' =1+2", "' =1+2"},
      {u"\u3000=HYPERLINK(1)", "'\u3000=HYPERLINK(1)", "'\u3000=HYPERLINK(1)"},
      {u"\u00A0\u2003@SUM(1)", "'\u00A0\u2003@SUM(1)", "'\u00A0\u2003@SUM(1)"},
      {u" -3.5", "' -3.5", "' -3.5"},
      {u"", "", ""},
      {u"=1+1", "'=1+1", "'=1+1"},
      {u"+86", "'+86", "'+86"},
      {u"-", "'-", "'-"},
      {u"-3.5e1", "'-3.5e1", "'-3.5e1"},
      {u"@SUM(1)", "'@SUM(1)", "'@SUM(1)"},
      {u"\t1", "'\t1", "\"'\t1\""},
      {u"杭州", "杭州", "杭州"},
      {u"临安,余杭", "\"临安,余杭\"", "临安,余杭"},
      {u"=a,b", "\"'=a,b\"", "'=a,b"},
      {u"a\"b", "\"a\"\"b\"", "\"a\"\"b\""},
      {u"a\r\nb", "\"a\r\nb\"", "\"a\r\nb\""},
  };
  for (const Case& c : cases) {
    std::string csv, tsv;
    exporting::appendCell(csv, c.cell, exporting::TableFormat::Csv);
    exporting::appendCell(tsv, c.cell, exporting::TableFormat::Tsv);
    EXPECT_EQ(csv, c.csv) << toUtf8(c.cell);
    EXPECT_EQ(tsv, c.tsv) << toUtf8(c.cell);
  }
}

TEST(Export, OtherEndingsAreRefusedAndAFailedWriteLeavesTheOldFile) {
  FormFixture f;
  writeSampleData(f);
  for (const char* name : {"t.txt", "t.xlsx", "csv", "t.csv.bak"})
    EXPECT_THROW(exporting::exportTable(f.folder.path(), f.folder / name, {u"杭州"}), Failure) << name;
  // An old table stays whole until the new one replaces it.
  writeWholeFile(f.folder / "old.csv", "old");
  exporting::exportTable(f.folder.path(), f.folder / "old.csv", {u"临安,余杭"});
  EXPECT_EQ(test::linesOf(readWholeFile(f.folder / "old.csv")).size(), 26u);
}

// The user's file: a read-only one is refused and stays; a half-written
// table a crash left goes with the next export to that name, refused or
// not; every failure names the user's file, never the temporary one.
TEST(Export, AReadOnlyTargetIsRefusedAStalePartGoesAndErrorsNameTheUsersFile) {
  FormFixture f;
  writeSampleData(f);
  const std::string mine = f.folder / "mine.csv", part = mine + ".part";
  writeWholeFile(mine, "mine");
  writeWholeFile(part, "half a table");
  std::filesystem::permissions(test::fsPath(mine), std::filesystem::perms::owner_read);
  try {
    exporting::exportTable(f.folder.path(), mine, {u"杭州"});
    ADD_FAILURE() << "a read-only file was written";
  } catch (const Failure& e) {
    EXPECT_TRUE(test::contains(e.what(), "无法导出到 " + mine + "：这个文件是只读的")) << e.what();
  }
  EXPECT_EQ(readWholeFile(mine), "mine");
  EXPECT_FALSE(fileExists(part));
  // The rename fails (a folder of that name): the temporary file goes too.
  std::filesystem::create_directory(test::fsPath(f.folder / "held.csv"));
  EXPECT_THROW(exporting::exportTable(f.folder.path(), f.folder / "held.csv", {u"杭州"}), Failure);
  EXPECT_FALSE(fileExists(f.folder / "held.csv.part"));
  std::filesystem::permissions(test::fsPath(mine), std::filesystem::perms::owner_all);
  writeWholeFile(part, "half a table");
  exporting::exportTable(f.folder.path(), mine, {u"临安,余杭"});
  EXPECT_EQ(test::linesOf(readWholeFile(mine)).size(), 26u);
  EXPECT_FALSE(fileExists(part));
  // A folder that is not there, and one in the place of the file.
  for (const std::string& path : {f.folder / "no/t.csv", f.folder / "held.csv"}) {
    try {
      exporting::exportTable(f.folder.path(), path, {u"杭州"});
      ADD_FAILURE() << path;
    } catch (const Failure& e) {
      EXPECT_TRUE(test::contains(e.what(), path + "：")) << e.what();
      EXPECT_FALSE(test::contains(e.what(), ".part")) << e.what();
    }
  }
}

// A link to the user's file, or a link to that link: the file it leads to
// gets the table and keeps its permissions, and the links stay links; a
// link to a file not there yet makes the file where it leads.
TEST(ExportLinks, TheFileALinkLeadsToIsWrittenAndTheLinkStays) {
  namespace fs = std::filesystem;
  FormFixture f;
  writeSampleData(f);
  fs::create_directory(f.folder / "real");
  writeWholeFile(f.folder / "real/t.csv", "old");
  const fs::perms mine = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(f.folder / "real/t.csv", mine);
  fs::create_symlink("real/t.csv", f.folder / "link.csv");
  fs::create_symlink(f.folder / "link.csv", f.folder / "chain.csv");
  fs::create_symlink("real/new.csv", f.folder / "ahead.csv");
  for (const char* name : {"chain.csv", "ahead.csv"})
    exporting::exportTable(f.folder.path(), f.folder / name, {u"临安,余杭"});
  for (const char* link : {"link.csv", "chain.csv", "ahead.csv"}) EXPECT_TRUE(fs::is_symlink(f.folder / link)) << link;
  for (const char* file : {"real/t.csv", "real/new.csv"})
    EXPECT_EQ(test::linesOf(readWholeFile(f.folder / file)).size(), 26u) << file;
  EXPECT_EQ(fs::status(f.folder / "real/t.csv").permissions(), mine);
  EXPECT_EQ(std::distance(fs::directory_iterator(f.folder / "real"), fs::directory_iterator()), 2);
}

TEST(Export, NamedPlacesInTheListsOrderEachOnce) {
  const std::vector<std::u16string> listed{u"上海", u"临安", u"杭州"};
  struct Case {
    std::vector<std::u16string> named, expected;
  };
  const Case cases[] = {
      {{}, listed},
      {{u"杭州", u"上海"}, {u"上海", u"杭州"}},
      {{u"苏州", u"杭州", u"杭州"}, {u"杭州", u"苏州"}},
  };
  for (const Case& c : cases) EXPECT_EQ(exporting::placesInListOrder(listed, c.named), c.expected);
}

TEST(Export, TheListMenuExportsAllOrOnePlaceThroughTheSaveDialog) {
  FormFixture f;
  writeSampleData(f);
  Form1& form = *f.form;
  form.load();
  std::vector<std::string> offered;
  std::string chosen = f.folder / "all.csv";
  const CommandDialogs dialogs{[] { return std::string(); }, [] {},
                                [&](const std::string& suggested) {
                                  offered.push_back(suggested);
                                  return chosen;
                                }};
  // Two entries, one over a place and one for the whole program.
  const auto entries = listMenuEntries(2);
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[2]->command, Command::ExportPlace);
  EXPECT_EQ(entries[3], nullptr);
  EXPECT_EQ(entries[6]->command, Command::Export);
  EXPECT_EQ(entries[7]->command, Command::Overview);
  EXPECT_EQ(listMenuEntries(-1).back()->command, Command::Compare);

  chooseCommand(form, Command::Export, -1, dialogs);
  ASSERT_EQ(offered.size(), 1u);
  // The first save dialog opens in the user's documents folder, not the data folder.
  ASSERT_TRUE(documentsFolder().has_value());
  EXPECT_TRUE(offered[0].starts_with(*documentsFolder() + pathSeparator() + "vantoril-20")) << offered[0];
  EXPECT_TRUE(offered[0].ends_with(".csv")) << offered[0];
  EXPECT_EQ(test::readBytes(chosen), expectedTable(','));
  ASSERT_EQ(f.report.messages.size(), 1u);
  EXPECT_EQ(f.report.informed, 1) << "the table was written";
  EXPECT_EQ(f.report.messages[0], "已导出到 " + chosen + "：113 行，2 个地名\n\n以下 1 个地名未能导出：\n上海：没有数据文件 " +
                                      datafile::path(f.folder.path(), u"上海"));

  chosen = f.folder / "one.tsv";
  chooseCommand(form, Command::ExportPlace, 1, dialogs);
  EXPECT_TRUE(offered[1].starts_with(f.folder.path() + pathSeparator() + "vantoril-20")) << "the last export's folder";
  EXPECT_EQ(test::linesOf(test::readBytes(chosen)).size(), 26u);
  EXPECT_EQ(f.report.messages.back(), "已导出到 " + chosen + "：25 行，1 个地名");
  EXPECT_EQ(f.report.informed, 2);
  chosen = f.folder / "all.csv";

  // Forty places without data: one line names them all, the folder once.
  for (int i = 10; i < 50; ++i) test::writeGbk(f.website("无数据" + std::to_string(i) + ".txt"), u"http:\r\n");
  form.load();
  chooseCommand(form, Command::Export, -1, dialogs);
  const std::string& told = f.report.messages.back();
  EXPECT_TRUE(test::contains(told, "\n\n以下 41 个地名未能导出：\n41 个地名都在 " + datafile::folder(f.folder.path()) +
                                       " 中没有数据文件（上海")) << told;
  EXPECT_TRUE(test::contains(told, "无数据49）") && !test::contains(told, "等")) << told;
  EXPECT_EQ(f.report.informed, 3);

  // Cancel writes nothing and says nothing; a refused ending is reported.
  chosen.clear();
  chooseCommand(form, Command::Export, -1, dialogs);
  EXPECT_EQ(f.report.messages.size(), 3u);
  chosen = f.folder / "t.xls";
  chooseCommand(form, Command::ExportPlace, 2, dialogs);
  EXPECT_TRUE(test::contains(f.report.messages.back(), ".csv")) << f.report.messages.back();
  EXPECT_FALSE(fileExists(chosen));

  // 查看一览 and 比较图表 write their pages and open them.
  chooseCommand(form, Command::Overview, -1, dialogs);
  chooseCommand(form, Command::Compare, -1, dialogs);
  ASSERT_EQ(f.starter.calls.size(), 2u);
  EXPECT_TRUE(test::contains(toUtf8(f.starter.calls[0].commandLine), "一览.html"));
  EXPECT_TRUE(test::contains(toUtf8(f.starter.calls[1].commandLine), "比较图表.html"));
}


// ---- Quality marks, the days, the overview, places compared ---------------

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string_view::npos; at += what.size()) ++n;
  return n;
}

TEST(Quality, TheRulesAtTheirEdges) {
  constexpr double no = NAN;
  struct Case {
    double before;  // temperature of the hour before (NaN: none)
    double t, p, h;
    unsigned marks;
  };
  using namespace quality;
  const Case cases[] = {
      {no, 60, 300, 100, 0},           {no, -60, 0, 0, 0},
      {no, 60.1, no, no, kTemperatureRange}, {no, -60.1, no, no, kTemperatureRange},
      {no, no, 300.1, no, kPrecipitationRange}, {no, no, -0.1, no, kPrecipitationRange},
      {no, no, no, 100.1, kHumidityRange},      {no, no, no, -0.1, kHumidityRange},
      {10, 25, 0, 50, 0},              {10, -5, 0, 50, 0},  // exactly 15
      {10, 25.1, 0, 50, kTemperatureJump}, {10, -5.1, 0, 50, kTemperatureJump},
      {99, 10, 0, 50, 0},  // the hour before was marked itself
      {no, 999, -1, 101, kTemperatureRange | kPrecipitationRange | kHumidityRange},
  };
  for (const Case& c : cases) {
    Judge judge;
    judge.marks(9, c.before, 0, 50);
    EXPECT_EQ(judge.marks(10, c.t, c.p, c.h), c.marks) << c.before << " " << c.t << " " << c.p << " " << c.h;
  }
  // Only the hour right before counts.
  Judge apart;
  apart.marks(8, 10, 0, 50);
  EXPECT_EQ(apart.marks(10, 30, 0, 50), 0u);
  EXPECT_EQ(markText(kTemperatureRange | kHumidityRange), "可疑：气温超出 -60…60 °C；湿度超出 0…100 %");
  EXPECT_EQ(markText(0), "");
}

// 甲: 2026-12-06 whole, 00时 10 °C rising 1 °C an hour but 99 at 11时;
// 0.5 mm at 03时 and 04时, 400 at 05时; humidity 50. 2026-12-07 00时 to 18时
// only, 20 °C rising 0.5 an hour but -10 at 05时 (a jump).
void writeTwoDays(FormFixture& f) {
  const auto rows = [](std::u16string_view observation) {
    std::u16string text = u"数据记录时间:" + std::u16string(observation) + u"\r\n整点\t气温\t降水\t湿度\r\n";
    const HourIndex last = *chart::parseHour(observation);
    for (HourIndex h = last - 24; h <= last; ++h) {
      const int hour = static_cast<int>(h % 24);
      const bool first = chart::civilHour(h).day == 6;
      const std::string t = first ? (hour == 11 ? "99" : std::to_string(10 + hour))
                                  : (hour == 5 ? "-10" : quality::readingText(20 + hour * 0.5));
      const std::string p = first && (hour == 3 || hour == 4) ? "0.5" : first && hour == 5 ? "400" : "0.0";
      text += fromUtf8((hour < 10 ? "0" : "") + std::to_string(hour) + "\t" + t + "\t" + p + "\t50\r\n");
    }
    return text + u"\r\n";
  };
  test::writeGbk(f.website("甲.txt"), u"http:\r\n");
  test::writeGbk(f.weatherData("甲-WeatherData.xls"), std::u16string(kHeader) + rows(u"2026120700") + rows(u"2026120718"));
}

TEST(Quality, TwoDaysWorkedOutByHandInTheTableAndOnTheChartPage) {
  FormFixture f;
  writeTwoDays(f);
  const std::string path = f.folder / "days.csv";
  const auto result = exporting::exportTable(f.folder.path(), path, {u"甲"}, {.daily = true});
  EXPECT_EQ(result.rows, 2);
  // Day one: 23 readings left (99 marked), 10..33 less 21: mean 495/23; 0.5 + 0.5 mm.
  // Day two: 19 hours, so no mean and no total; -10 left out of the lowest.
  EXPECT_EQ(test::readBytes(path),
            "\xEF\xBB\xBF地名,日期,最高气温,最高气温时刻,最低气温,最低气温时刻,平均气温,降水量,平均湿度,记录小时数\r\n"
            "甲,2026-12-06,33,23:00,10,00:00,21.5,1.0,50.0,24\r\n"
            "甲,2026-12-07,29,18:00,20,00:00,,,,19\r\n");
  const std::string page = readWholeFile(chart::writePage(f.folder.path(), u"甲"));
  EXPECT_EQ(count(page, "<path class=\"marked\""), 3u);  // 99 °C, 400 mm, -10 °C
  EXPECT_TRUE(test::contains(page, "<title>2026-12-07 05时 气温 -10 °C 可疑：气温比上一小时变化超过 15 °C</title>"));
  EXPECT_TRUE(test::contains(page, "<tr class=\"short\"><td>2026-12-07</td><td>29</td><td>18时</td><td>20</td>"));
  EXPECT_LT(page.find("<td>2026-12-07</td>"), page.find("<td>2026-12-06</td>"));  // newest first
  EXPECT_EQ(count(page, "<rect class=\"day-rain\""), 1u);
  // The hourly table marks the same three hours.
  exporting::exportTable(f.folder.path(), path, {u"甲"});
  EXPECT_EQ(count(test::readBytes(path), ",可疑："), 3u);
}

TEST(Overview, EachPlacesStateStripAndExtremesNamesEscaped) {
  FormFixture f;
  writeTwoDays(f);  // 甲: recorded up to 2026-12-07 18时
  test::writeGbk(f.website("乙.txt"), u"http:\r\n");
  test::writeGbk(f.weatherData("乙-WeatherData.xls"), std::u16string(kHeader) + record(u"2026120418", 0));
  test::writeGbk(f.website("丙.txt"), u"http:\r\n");
  test::writeGbk(f.weatherData("丙-WeatherData.xls"), std::u16string(kHeader) + record(u"2026120718", 0));
  const std::string log =
      "2026-12-07 18:50:00\t甲\t2026120718\n"
      "2026-12-07 08:50:00\t丙\t错误：下载 a 失败：HTTP 状态 404\n"
      "2026-12-07 18:50:00\t丙\t错误：下载 a 失败：HTTP 状态 500\n"
      "2026-12-07 18:50:01\t运行结束\t地名 2\t记录 1\t暂存 0\t跳过 0\t错误 1\t退出码 1\n";
  // 2026-12-07 19:30 in Beijing.
  const auto now = std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} + std::chrono::hours{11} +
                   std::chrono::minutes{30};
  const std::string page =
      overview::overviewText(f.folder.path(), {u"甲", u"乙", u"丙", u"丁<&\"'"}, log, now);
  const auto row = [&page](std::string_view start) {
    const std::size_t at = page.find("<tr><td>" + std::string(start));
    return at == std::string::npos ? std::string() : page.substr(at, page.find("</tr>", at) - at);
  };
  const std::string jia = row("甲"), yi = row("乙"), bing = row("丙"), ding = row("丁");
  EXPECT_TRUE(test::contains(jia, "<td>12月7日 18时</td><td>已记录</td>")) << jia;
  EXPECT_TRUE(test::contains(jia, "<td class=\"n\">33 / 10</td><td class=\"n\">29 / 20</td><td class=\"n\">3</td>"));
  // The strips: 28 days without records and two whole (today's up to 18时);
  // 乙's 3rd and 4th with 6 and 19 hours.
  EXPECT_EQ(count(jia, "class=\"empty\""), 28u);
  EXPECT_EQ(count(jia, "class=\"full\""), 2u);
  EXPECT_EQ(count(yi, "class=\"gap\""), 2u);
  EXPECT_EQ(count(yi, "class=\"empty\""), 28u);
  EXPECT_TRUE(test::contains(yi, "<span class=\"stale\">页面过时</span>")) << yi;
  EXPECT_TRUE(test::contains(bing, "自 12月7日 08:50 起失败")) << bing;
  EXPECT_TRUE(test::contains(bing, "HTTP 状态 500")) << bing;
  EXPECT_TRUE(test::contains(page, "<tr><td>丁&lt;&amp;&quot;&#39;</td><td>—</td><td><span class=\"none\">还没有记录</span>"));
  EXPECT_FALSE(test::contains(page, "<&"));
  EXPECT_FALSE(test::contains(page, "<script"));
  // A week that reaches back beyond a file's last kilobytes is read further:
  // 戊's first record fills two days of the strip before its last two.
  std::u16string many = std::u16string(kHeader) + record(u"2026111018", 0);
  for (int k = 0; k < 100; ++k) many += record(u"2026120718", 0);
  test::writeGbk(f.weatherData("戊-WeatherData.xls"), many);
  EXPECT_EQ(count(overview::overviewText(f.folder.path(), {u"戊"}, log, now), "class=\"empty\""), 26u);
  // A place whose chart page is written links to it.
  chart::writePage(f.folder.path(), u"甲");
  EXPECT_TRUE(test::contains(overview::overviewText(f.folder.path(), {u"甲"}, log, now),
                             "<a href=\"%E7%94%B2-WeatherData.html\">甲</a>"));
}

TEST(Overview, PlacesComparedOnOneAxisEachInItsColour) {
  FormFixture f;
  writeTwoDays(f);
  writeSampleData(f);  // 杭州: a week with gaps; 上海: no record
  const std::string page =
      readWholeFile(overview::writeComparePage(f.folder.path(), {u"甲", u"杭州", u"上海", u"a<&\"b"}));
  EXPECT_TRUE(test::contains(page, "<span style=\"color:#d62728\">■</span> 甲"));
  EXPECT_TRUE(test::contains(page, "<span style=\"color:#1f77b4\">■</span> 杭州"));
  EXPECT_TRUE(test::contains(page, "上海（还没有记录）"));
  EXPECT_TRUE(test::contains(page, "a&lt;&amp;&quot;b（还没有记录）"));
  EXPECT_FALSE(test::contains(page, "<&"));
  // 杭州's three gaps, in both plots, in its colour; 甲 has none.
  EXPECT_EQ(count(page, "<title>杭州 缺测 "), 6u);
  EXPECT_EQ(count(page, "<title>甲 缺测 "), 0u);
  EXPECT_TRUE(test::contains(page, "时段：2026-12-06 00时 至 2027-01-04 05时"));
  EXPECT_THROW(overview::writeComparePage(f.folder.path(), {u"上海"}), Failure);
}

}  // namespace
}  // namespace vantoril
