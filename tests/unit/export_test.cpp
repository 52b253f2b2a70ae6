// The record taken out as a table, and what it misses: data files of the
// real layout against tables worked out by hand. Built for both systems:
// the Windows program must write the same bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "app/ListMenu.h"
#include "chart/ChartPage.h"
#include "export/Coverage.h"
#include "export/Export.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

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
  return chart::isoHour(h);
}

std::string expectedTable(char separator) {
  const std::string s(1, separator);
  std::string table = "\xEF\xBB\xBF地名" + s + "时间" + s + "气温" + s + "降水" + s + "湿度\r\n";
  for (const Run& run : kRuns) {
    std::string place = run.place;
    if (separator == '\t' && place.front() == '"') place = place.substr(1, place.size() - 2);
    for (int k = 0; k < run.hours; ++k) {
      table += place + s + hourAfter(run.first, k) + s + std::to_string(run.temperature + k) + s + "0" + s +
               std::to_string(run.humidity + k) + "\r\n";
      // R2's odd rows come right after its tenth hour.
      if (run.temperature == 100 && k == 9) {
        table += place + s + "2026-12-30T16:00+08:00" + s + s + "0" + s + "60\r\n";
        table += place + s + "2026-12-30T17:00+08:00" + s + "-3.5" + s + "'=1+1" + s + "'@SUM(1)\r\n";
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
  EXPECT_EQ(lines[6], "杭州,2026-12-29T17:00+08:00,,,\r");
  EXPECT_EQ(lines[65], "杭州,2027-01-01T04:00+08:00,324,0,74\r");
  EXPECT_EQ(lines[66], "杭州,2027-01-01T05:00+08:00,,,\r");
  EXPECT_EQ(lines[113], "杭州,2027-01-03T04:00+08:00,,,\r");
  EXPECT_EQ(lines[114], "杭州,2027-01-03T05:00+08:00,400,0,50\r");
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
  // The rename fails (a folder of that name): the temporary file goes too.
  std::filesystem::create_directory(test::fsPath(f.folder / "held.csv"));
  EXPECT_THROW(exporting::exportTable(f.folder.path(), f.folder / "held.csv", {u"杭州"}), Failure);
  EXPECT_FALSE(fileExists(f.folder / "held.csv.part"));
  // An old table stays whole until the new one replaces it.
  writeWholeFile(f.folder / "old.csv", "old");
  exporting::exportTable(f.folder.path(), f.folder / "old.csv", {u"临安,余杭"});
  EXPECT_EQ(test::linesOf(readWholeFile(f.folder / "old.csv")).size(), 26u);
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
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[2]->command, Command::ExportPlace);
  EXPECT_EQ(entries[3], nullptr);
  EXPECT_EQ(entries[6]->command, Command::Export);
  EXPECT_EQ(listMenuEntries(-1).back()->command, Command::Export);

  chooseCommand(form, Command::Export, -1, dialogs);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_TRUE(offered[0].starts_with(f.folder.path() + pathSeparator() + "vantoril-20")) << offered[0];
  EXPECT_TRUE(offered[0].ends_with(".csv")) << offered[0];
  EXPECT_EQ(test::readBytes(chosen), expectedTable(','));
  ASSERT_EQ(f.report.messages.size(), 1u);
  EXPECT_EQ(f.report.informed, 0) << "a place left out is a warning";
  EXPECT_TRUE(test::contains(f.report.messages[0], "已导出到 " + chosen + "：113 行，2 个地名\n未能导出：\n上海："))
      << f.report.messages[0];

  chosen = f.folder / "one.tsv";
  chooseCommand(form, Command::ExportPlace, 1, dialogs);
  EXPECT_EQ(test::linesOf(test::readBytes(chosen)).size(), 26u);
  EXPECT_EQ(f.report.messages.back(), "已导出到 " + chosen + "：25 行，1 个地名");
  EXPECT_EQ(f.report.informed, 1);

  // Cancel writes nothing and says nothing; a refused ending is reported.
  chosen.clear();
  chooseCommand(form, Command::Export, -1, dialogs);
  EXPECT_EQ(f.report.messages.size(), 2u);
  chosen = f.folder / "t.xls";
  chooseCommand(form, Command::ExportPlace, 2, dialogs);
  EXPECT_TRUE(test::contains(f.report.messages.back(), ".csv")) << f.report.messages.back();
  EXPECT_FALSE(fileExists(chosen));
}

}  // namespace
}  // namespace vantoril
