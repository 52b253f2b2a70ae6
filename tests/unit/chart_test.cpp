// The chart of a place: its data file read back hour by hour, and the page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/FileSizeLimit.h"
#include "catalogue/Shell.h"
#include "chart/ChartPage.h"
#include "chart/History.h"
#include "platform/Cp936.h"

namespace vantoril {
namespace {

using chart::History;
using chart::HourIndex;

// One record as data-file lines: the time line, the column line and 25
// rows whose temperature is `base` + row and humidity 50 + row; `row`
// may change a row's text.
std::vector<std::u16string> record(std::u16string_view time, int base,
                                   const std::function<void(int, std::u16string&)>& row = nullptr) {
  std::vector<std::u16string> lines{u"数据记录时间:" + std::u16string(time), u"整点\t气温\t降水\t湿度"};
  for (int r = 0; r < 25; ++r) {
    std::u16string text = u"00\t" + decimal(base + r) + u"\t0\t" + decimal(50 + r);
    if (row) row(r, text);
    lines.push_back(text);
  }
  lines.push_back(u"");
  return lines;
}

std::vector<std::u16string> file(std::initializer_list<std::vector<std::u16string>> records) {
  std::vector<std::u16string> lines{u"天气数据文件"};
  for (const auto& r : records) lines.insert(lines.end(), r.begin(), r.end());
  return lines;
}

HourIndex hour(std::u16string_view text) { return chart::parseHour(text).value(); }

const chart::HourValues* at(const History& h, std::u16string_view time) {
  for (const auto& v : h.hours)
    if (v.hour == hour(time)) return &v;
  return nullptr;
}

TEST(ChartHistory, RecordsMergeGapsAndDamage) {
  const auto cut = [](int keep) {
    auto r = record(u"2015061900", 0);
    r.resize(2 + static_cast<std::size_t>(keep));
    r.push_back(u"");
    return r;
  };
  // A row more than a record holds, at the observation hour the later record
  // also holds: its values must not win.
  const auto grown = [] {
    auto r = record(u"2015061915", 100);
    r.insert(r.end() - 1, u"15\t999\t0\t999");
    return r;
  };
  struct Case {
    const char* what;
    std::vector<std::u16string> lines;
    int records, hours, skipped, nonNumbers;
    std::u16string_view first, last;
    // An hour and its temperature and humidity (NaN: a gap).
    std::u16string_view probe;
    double temperature, humidity;
  };
  const double gap = NAN;
  const Case cases[] = {
      {"overlap: the later record's values",
       file({record(u"2015061914", 0), record(u"2015061915", 100)}), 2, 26, 0, 0, u"2015061814", u"2015061915",
       u"2015061914", 123, 73},
      {"a later record written first still wins",
       file({record(u"2015061915", 100), record(u"2015061914", 0)}), 2, 26, 0, 0, u"2015061814", u"2015061915",
       u"2015061914", 123, 73},
      {"across midnight and a month end", file({record(u"2016030102", 0)}), 1, 25, 0, 0, u"2016022902",
       u"2016030102", u"2016030100", 22, 72},
      {"empty and non-numbers are gaps, non-numbers counted",
       file({record(u"2015061914", 0,
                    [](int r, std::u16string& t) {
                      if (r == 24) t = u"14\t<script>\t\t1e5";
                      if (r == 23) t = u"13\t 23\tNaN\t-";
                      if (r == 22) t = u"12\t-3.5\t.5\t7.";
                    })}),
       1, 25, 0, 7, u"2015061814", u"2015061914", u"2015061914", gap, gap},
      {"negative and decimal values", file({record(u"2015061914", 0, [](int r, std::u16string& t) {
                                              if (r == 22) t = u"12\t-3.5\t0.5\t70.25";
                                            })}),
       1, 25, 0, 0, u"2015061814", u"2015061914", u"2015061912", -3.5, 70.25},
      {"a record cut short is skipped whole", file({cut(24), record(u"2015061914", 0)}), 1, 25, 26, 0,
       u"2015061814", u"2015061914", u"2015061914", 24, 74},
      {"a record of 26 rows is skipped whole, its lines counted",
       file({grown(), record(u"2015061914", 0)}), 1, 25, 28, 0, u"2015061814", u"2015061914", u"2015061914", 24,
       74},
      {"bad times and column lines are skipped",
       file({record(u"ve24h_data", 0), record(u"2015023114", 0), record(u"2015061924", 0),
             {u"数据记录时间:2015061914", u"整点 气温 降水 湿度"}, record(u"2015061914", 0)}),
       1, 25, 3 * 27 + 2, 0, u"2015061814", u"2015061914", u"2015061914", 24, 74},
      {"a row without four fields is a gap of its own",
       file({record(u"2015061914", 0, [](int r, std::u16string& t) {
         if (r == 0) t = u"14\t1\t0";
         if (r == 1) t = u"15\t1\t0\t1\t1";
       })}),
       1, 23, 2, 0, u"2015061816", u"2015061914", u"2015061914", 24, 74},
      {"no header line, stray text before the first record",
       {u"手写的一行", u"", u"数据记录时间:2015061914", u"整点\t气温\t降水\t湿度", u"14\t1\t0\t1"}, 0, 0, 1 + 3, 0,
       u"", u"", u"", gap, gap},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const History h = chart::readHistory(c.lines);
    EXPECT_EQ(h.records, c.records);
    EXPECT_EQ(static_cast<int>(h.hours.size()), c.hours);
    EXPECT_EQ(h.skippedLines, c.skipped);
    EXPECT_EQ(h.nonNumbers, c.nonNumbers);
    if (c.hours == 0) continue;
    EXPECT_EQ(h.hours.front().hour, hour(c.first));
    EXPECT_EQ(h.hours.back().hour, hour(c.last));
    EXPECT_EQ(h.lastObservation, hour(c.last));
    for (std::size_t k = 1; k < h.hours.size(); ++k) EXPECT_LT(h.hours[k - 1].hour, h.hours[k].hour);
    const auto* v = at(h, c.probe);
    ASSERT_NE(v, nullptr);
    if (std::isnan(c.temperature)) EXPECT_TRUE(std::isnan(v->temperature)) << v->temperature;
    else EXPECT_EQ(v->temperature, c.temperature);
    if (std::isnan(c.humidity)) EXPECT_TRUE(std::isnan(v->humidity)) << v->humidity;
    else EXPECT_EQ(v->humidity, c.humidity);
  }
  const auto civil = chart::civilHour(hour(u"2016022902"));
  EXPECT_EQ(civil.year * 1000000 + civil.month * 10000 + civil.day * 100 + civil.hour, 2016022902);
}

bool sameHistory(const History& a, const History& b) {
  const auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
  if (a.records != b.records || a.skippedLines != b.skippedLines || a.nonNumbers != b.nonNumbers ||
      a.lastObservation != b.lastObservation || a.hours.size() != b.hours.size())
    return false;
  for (std::size_t k = 0; k < a.hours.size(); ++k) {
    const auto &x = a.hours[k], &y = b.hours[k];
    if (x.hour != y.hour || !same(x.temperature, y.temperature) || !same(x.precipitation, y.precipitation) ||
        !same(x.humidity, y.humidity))
      return false;
  }
  return true;
}

// The whole file's text reads as its lines, however a spreadsheet saved it.
TEST(ChartHistory, TheWholeFileTextReadsAsItsLinesHoweverItWasSaved) {
  const auto lines = file({record(u"2015061914", 0), record(u"2015061915", 100)});
  const History expected = chart::readHistory(lines);
  ASSERT_EQ(expected.records, 2);
  std::u16string good;
  for (const auto& line : lines) good += line + u"\r\n";
  const auto replaced = [](std::u16string text, std::u16string_view from, std::u16string_view to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::u16string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
  };
  const std::u16string quoted = u"\"" + replaced(replaced(good, u"\t", u"\"\t\""), u"\r\n", u"\"\r\n\"");
  const std::u16string cases[] = {
      good,
      good.substr(0, good.size() - 4),                              // no line end after the last row
      good + u"\r\n\r\n\r",                                        // empty lines at the end
      replaced(good, u"\r\n", u"\n"),                              // LF line ends
      replaced(good, u"\r\n", u"\r"),                              // CR line ends
      replaced(good, u"\r\n", u"\t\t\t\r\n"),                      // empty cells at every line's end
      quoted.substr(0, quoted.size() - 1),                         // every cell quoted
      u"\xFEFF" + good,                                            // a byte-order mark
      good.substr(good.find(u"\r\n") + 2),                          // no header line
      u"\r\n\r\n" + good,                                          // empty lines first
  };
  for (const std::u16string& text : cases) {
    SCOPED_TRACE(toUtf8(text.substr(0, 60)));
    EXPECT_TRUE(sameHistory(chart::readHistoryText(text), expected));
    // The same as GBK bytes, read as they are (a file's mark passed over first).
    if (!text.starts_with(u'\xFEFF')) {
      EXPECT_TRUE(sameHistory(chart::readHistoryBytes(cp936::encode(text)), expected));
    }
  }
  for (const std::u16string_view text : {u"", u"\r", u"数据记录时间:2015061914"})
    EXPECT_EQ(chart::readHistoryText(text).records, 0);
}

TEST(ChartHistory, AnHourComesFromItsLatestRecordWhateverTheirOrder) {
  // Records by observation hour, each with its own temperatures (base +
  // row); some rows cannot be read, so an earlier record gives that hour.
  struct Made {
    std::u16string_view time;
    int base;
    int badRow;  // -1: none
  };
  const Made made[] = {{u"2015061910", 100, -1}, {u"2015061912", 200, 24}, {u"2015061912", 300, 20},
                       {u"2015061911", 400, 23}, {u"2015062112", 500, -1}, {u"2015061905", 600, 0}};
  std::vector<std::size_t> order{0, 1, 2, 3, 4, 5};
  int permutations = 0;
  do {
    std::vector<std::u16string> lines{u"天气数据文件"};
    for (const std::size_t k : order) {
      const auto r = record(made[k].time, made[k].base, [&](int row, std::u16string& t) {
        if (row == made[k].badRow) t = u"??";
      });
      lines.insert(lines.end(), r.begin(), r.end());
    }
    const History h = chart::readHistory(lines);
    // Every hour any record covers, from the record of the latest
    // observation that can give it, of two equal the one further down.
    std::vector<std::pair<HourIndex, double>> expected;
    for (HourIndex when = hour(u"2015061805"); when <= hour(u"2015062112"); ++when) {
      int best = -1;
      for (std::size_t at = 0; at < order.size(); ++at) {
        const Made& m = made[order[at]];
        const HourIndex row = when - (chart::parseHour(m.time).value() - 24);
        if (row < 0 || row > 24 || row == m.badRow) continue;
        if (best < 0 || chart::parseHour(m.time) >= chart::parseHour(made[order[static_cast<std::size_t>(best)]].time))
          best = static_cast<int>(at);
      }
      if (best >= 0) {
        const Made& m = made[order[static_cast<std::size_t>(best)]];
        expected.emplace_back(when, m.base + (when - (chart::parseHour(m.time).value() - 24)));
      }
    }
    std::vector<std::pair<HourIndex, double>> got;
    for (const auto& v : h.hours) got.emplace_back(v.hour, v.temperature);
    ASSERT_EQ(got, expected) << "permutation " << permutations;
    ASSERT_EQ(h.lastObservation, hour(u"2015062112"));
    ASSERT_EQ(h.records, 6);
    ASSERT_EQ(h.skippedLines, 4);
    ++permutations;
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_EQ(permutations, 720);
}

std::size_t count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string_view::npos; at += what.size()) ++n;
  return n;
}

TEST(ChartPage, PointsGapsAndEscaping) {
  // Two records a day apart leave a gap: two pieces of each line.
  History h = chart::readHistory(file({record(u"2015061914", 0, [](int r, std::u16string& t) {
                                         if (r == 3) t = u"03\t\"<&>\t2.5\t60";
                                       }),
                                       record(u"2015062114", 10)}));
  ASSERT_EQ(h.hours.size(), 50u);
  const std::string page = chart::pageText(u"a<&\"b'", h);
  EXPECT_EQ(count(page, "<circle"), 49u + 50u);  // one temperature was not a number
  EXPECT_EQ(count(page, "<polyline"), 4u + 1u);  // the bad value splits a line
  EXPECT_EQ(count(page, "<rect x=\"") - 4, 1u);  // one bar (and the frame and three legend boxes)
  EXPECT_TRUE(test::contains(page, "<title>2015-06-21 14时 气温 34 °C</title>"));
  EXPECT_TRUE(test::contains(page, "<title>2015-06-18 17时 降水 2.5 mm</title>"));
  EXPECT_TRUE(test::contains(page, "<title>a&lt;&amp;&quot;b&#39; 天气记录</title>"));
  EXPECT_FALSE(test::contains(page, "<&"));
  EXPECT_FALSE(test::contains(page, "<script"));
  EXPECT_FALSE(test::contains(page, "href"));
  EXPECT_FALSE(test::contains(page, "src="));
  EXPECT_TRUE(test::contains(page, "记录 2 条，共 50 个小时；最后观测时间：2015-06-21 14时"));
  EXPECT_TRUE(test::contains(page, "不是数字而当作缺测的值：1"));
}

TEST(ChartPage, ManyHoursAreThinnedKeepingHighsAndLows) {
  History h;
  h.records = 1;
  for (HourIndex k = 0; k < 9000; ++k) {
    const double t = k == 4321 ? 48 : k == 6000 ? -31 : static_cast<double>(k % 24);
    h.hours.push_back({400000 + k, t, 0, 50});
  }
  h.hours[5].humidity = 1e30;  // a wild number draws nothing wild
  h.hours[6].temperature = -1e300;
  const std::string page = chart::pageText(u"x", h);
  EXPECT_LT(page.size(), 1'000'000u);
  EXPECT_LE(count(page, "<circle"), 4 * chart::kBuckets);
  EXPECT_TRUE(test::contains(page, " 气温 48 °C</title>"));
  // A fall of 54 °C within the hour: marked, and drawn all the same.
  EXPECT_TRUE(test::contains(page, " 气温 -31 °C 可疑：气温比上一小时变化超过 15 °C</title>"));
  EXPECT_TRUE(test::contains(page, "只画出最低和最高的值"));
  // Two hours eight thousand years apart: a page of a few lines.
  History far = h;
  far.hours = {h.hours.front(), {chart::parseHour(u"9999123123").value(), 1, 1, 1}};
  EXPECT_LT(chart::pageText(u"x", far).size(), 20'000u);
}

// The numbers of one attribute of every element of a kind, in page order.
std::vector<double> attributes(const std::string& page, const std::string& element, const std::string& attribute) {
  std::vector<double> out;
  const std::string open = "<" + element, key = " " + attribute + "=\"";
  for (std::size_t at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
    const std::size_t key_at = page.find(key, at);
    if (key_at < page.find('>', at)) out.push_back(std::stod(page.substr(key_at + key.size(), 32)));
  }
  return out;
}

TEST(ChartPage, OneWidthWhateverTheSpanWithTheScalesBesideThePlot) {
  struct Span {
    const char* what;
    HourIndex hours, step;  // hours from the first to the last, and between two shown
  };
  const Span spans[] = {{"a day", 25, 1}, {"two weeks", 14 * 24, 1}, {"a month", 31 * 24, 1},
                        {"417 days (thinned)", 10008, 1}, {"ten years every third hour", 87600, 3}};
  double width = 0;
  for (const Span& span : spans) {
    SCOPED_TRACE(span.what);
    History h;
    h.records = 1;
    for (HourIndex k = 0; k < span.hours; k += span.step)
      h.hours.push_back(
          {400000 + k, static_cast<double>(k % 30), k % 7 == 0 ? 2.0 : 0.0, 40.0 + static_cast<double>(k % 50)});
    const std::string page = chart::pageText(u"x", h);
    const double svgWidth = attributes(page, "svg", "width").at(0);
    if (width == 0) width = svgWidth;
    EXPECT_EQ(svgWidth, width);
    EXPECT_LE(svgWidth + 2 * 16, 1400);  // beside the page's margins
    // The plot's frame, and every dot and bar inside it.
    const double left = attributes(page, "rect", "x").at(0), right = left + attributes(page, "rect", "width").at(0);
    const auto dots = attributes(page, "circle", "cx");
    ASSERT_FALSE(dots.empty());
    EXPECT_GE(*std::min_element(dots.begin(), dots.end()), left);
    EXPECT_LE(*std::max_element(dots.begin(), dots.end()), right);
    // The scales: temperature left of the frame, humidity and precipitation right of it, all on the page.
    int leftLabels = 0, rightLabels = 0;
    for (const double x : attributes(page, "text", "x")) {
      EXPECT_GE(x, 0);
      EXPECT_LT(x, svgWidth);
      leftLabels += x < left;
      rightLabels += x > right;
    }
    EXPECT_GE(leftLabels, 3);
    EXPECT_GE(rightLabels, 6 + 3 + 2);  // 0..100 %, 0..top mm, and their units
  }
}

TEST(ChartPage, WrittenFromTheGbkFileAndOpenedFromTheList) {
  test::FormFixture f;
  std::u16string text;
  for (const auto& line : file({record(u"2015061914", 0)})) text += line + u"\r\n";
  test::writeGbk(f.weatherData("示例-WeatherData.xls"), text);
  f.form->List1.addEntry(u"示例");
  f.form->List1.addEntry(u"北京");

  ASSERT_TRUE(f.form->userShowChart(0));
  const std::string page = f.weatherData("示例-WeatherData.html");
  ASSERT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(f.starter.calls[0].commandLine, shell::openCommand(fileNameText(page)));
  EXPECT_TRUE(test::contains(test::readBytes(page), "<h1>示例</h1>"));
  EXPECT_EQ(f.form->List1.selectedIndex(), -1);

  // A page a crash left under the temporary name goes with the next write;
  // a longer one leaves nothing of its own in the page.
  const std::string written = test::readBytes(page);
  writeWholeFile(temporaryPath(page), "<html>half" + std::string(written.size() * 2, 'x'));
  chart::writePage(f.folder.path(), u"示例");
  EXPECT_FALSE(fileExists(temporaryPath(page)));
  EXPECT_EQ(test::readBytes(page), written);
  // A page that cannot be written whole leaves the old one as it was.
  const std::string before = test::readBytes(page);
  {
    test::FileSizeLimit limit(before.size() / 2);
    ASSERT_TRUE(limit.ok());
    EXPECT_THROW(chart::writePage(f.folder.path(), u"示例"), Failure);
  }
  EXPECT_EQ(test::readBytes(page), before);
  // A name that would lead out of the data folder, or back into it.
  for (const auto* name : {u"../WeatherData/示例", u"WeatherData\\示例", u""})
    EXPECT_THROW(chart::writePage(f.folder.path(), name), Failure);

  // A place without records: the message, nothing written, nothing opened.
  EXPECT_FALSE(f.form->userShowChart(1));
  EXPECT_EQ(f.report.messages, std::vector<std::string>{"北京 还没有记录"});
  EXPECT_FALSE(fileExists(f.weatherData("北京-WeatherData.html")));
  test::writeGbk(f.weatherData("北京-WeatherData.xls"), u"天气数据文件\r\n");
  EXPECT_THROW(chart::writePage(f.folder.path(), u"北京"), Failure);
  EXPECT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(listFolder(f.weatherData()).size(), 3u);  // two data files and one page, no leftovers
}

// Records waiting in the pending file are charted after those of the data
// file, also where the data file could not even be made, or ends without a
// line break (cut short, or edited by hand).
TEST(ChartPage, PendingRecordsAreChartedAfterTheDataFiles) {
  const auto text = [](const std::vector<std::u16string>& lines) {
    std::u16string t;
    for (const auto& line : lines) t += line + u"\r\n";
    return t;
  };
  enum Data { kWhole, kNoFinalBreak, kNone, kMarked };
  for (const Data data : {kWhole, kNoFinalBreak, kNone, kMarked}) {
    SCOPED_TRACE(data);
    const bool withDataFile = data != kNone;
    test::FormFixture f;
    std::u16string dataText = text(file({record(u"2015061914", 0)}));
    if (data == kNoFinalBreak) dataText = dataText.substr(0, dataText.rfind(u"\r\n\r\n"));  // ends in the last row
    if (withDataFile) test::writeGbk(f.weatherData("示例-WeatherData.xls"), dataText);
    if (data == kMarked)  // a byte-order mark, as a spreadsheet may save it
      writeWholeFile(f.weatherData("示例-WeatherData.xls"), "\xEF\xBB\xBF" + cp936::encode(dataText));
    // Same hours, later record: its values win.
    const auto pending = record(u"2015061915", 100);
    test::writeGbk(f.weatherData("示例-WeatherData.pending"), text(pending));
    const std::string page = test::readBytes(chart::writePage(f.folder.path(), u"示例"));
    EXPECT_TRUE(test::contains(page, withDataFile ? "记录 2 条，共 26 个小时" : "记录 1 条，共 25 个小时")) << page;
    EXPECT_TRUE(test::contains(page, "最后观测时间：2015-06-19 15")) << page;
    EXPECT_TRUE(test::contains(page, "无法读取而跳过的行：0；")) << page;
  }
}

}  // namespace
}  // namespace vantoril
