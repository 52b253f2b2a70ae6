// Cutting a page: the observation block, the observation time and the four
// series, on made-up blocks and on the sample pages in tests/data.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/SampleData.h"
#include "platform/Failure.h"
#include "chart/History.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"
#include "recording/Observation.h"

namespace vantoril {
namespace {

using test::contains;

// What a sample page holds, as its generator wrote it down.
struct Expected {
  std::u16string od0;
  std::vector<std::u16string> hour, temperature, precipitation, humidity;  // block order
};

Expected expectedOf(const std::string& page) {
  Expected e;
  std::istringstream in(test::sampleData(page + ".expected.txt"));
  std::string line;
  std::getline(in, line);
  e.od0 = fromUtf8(line.substr(line.find('\t') + 1));
  while (std::getline(in, line)) {
    std::vector<std::u16string> fields;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      fields.push_back(fromUtf8(line.substr(from, tab - from)));
    fields.push_back(fromUtf8(line.substr(from)));
    EXPECT_EQ(fields.size(), 4u) << line;
    if (fields.size() != 4) continue;
    e.hour.push_back(fields[0]);
    e.temperature.push_back(fields[1]);
    e.precipitation.push_back(fields[2]);
    e.humidity.push_back(fields[3]);
  }
  EXPECT_EQ(e.hour.size(), 25u);
  return e;
}

std::u16string samplePage(const std::string& page) {
  return fromUtf8(test::sampleData(page + ".html"));
}

// `count` characters that are none of the markers or keys.
std::u16string filler(std::size_t count) {
  std::u16string text;
  const std::u16string_view pattern = u"天气预报 <p>晴转多云</p> ";
  while (text.size() < count) text += pattern;
  text.resize(count);
  return text;
}

struct Obs {
  std::u16string hour, temperature, precipitation, humidity;
};

// A block in the site's layout; the 2014 layout (no od28) lets od27 close the object.
std::u16string blockOf(const std::vector<Obs>& objects, bool withOd28 = true,
                       std::u16string_view od0 = u"201506191400") {
  std::u16string s = u"observe24h_data = {\"od\":{\"od0\":\"" + std::u16string(od0) + u"\",\"od1\":\"示例\",\"od2\":[";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    const Obs& o = objects[i];
    if (i) s += u",";
    s += u"{\"od21\":\"" + o.hour + u"\",\"od22\":\"" + o.temperature +
         u"\",\"od23\":\"90\",\"od24\":\"东风\",\"od25\":\"2\",\"od26\":\"" + o.precipitation + u"\",\"od27\":\"" +
         o.humidity + (withOd28 ? u"\",\"od28\":\"65\"}" : u"\"}");
  }
  s += u"]}};\n</script>\n<div id=\"weatherChart\">";
  return s;
}

std::vector<Obs> dayOf(int count) {
  std::vector<Obs> objects;
  for (int i = 0; i < count; ++i)
    objects.push_back({decimal((38 - i) % 24), decimal(20 + i % 7), i % 5 ? u"0" : u"0.1", decimal(40 + i)});
  return objects;
}

SeriesLists extractAll(std::u16string_view block) {
  SeriesLists lists;
  extractSeries(block, u"od21", "hourly", lists.hour);
  extractSeries(block, u"od22", "temperature", lists.temperature);
  extractSeries(block, u"od26", "precipitation", lists.precipitation);
  extractSeries(block, u"od27", "humidity", lists.humidity);
  return lists;
}

std::vector<std::u16string> entries1to25(const std::array<std::u16string, kSeriesEntries + 1>& list) {
  return std::vector<std::u16string>(list.begin() + 1, list.end());
}

std::string failureOf(const std::function<void()>& step) {
  try {
    step();
  } catch (const Failure& f) {
    return f.what();
  }
  ADD_FAILURE() << "no failure";
  return {};
}

// ---------------------------------------------------------------------------

TEST(BlockCut, RunsFromTheStartMarkerThroughTwoCharactersAfterTheEndMarker) {
  // "observe24h_data" at 100, "weatherChart" at 500.
  std::u16string page = filler(99) + u"observe24h_data";
  page += filler(499 - page.size()) + u"weatherChart\">\n</div>" + filler(300);
  ASSERT_EQ(page.find(u"weatherChart"), 499u);

  const BlockCut cut = cutBlock(page);
  EXPECT_EQ(cut.length, 414u);
  EXPECT_EQ(cut.block, page.substr(99, 414));
  EXPECT_TRUE(cut.block.starts_with(u"observe24h_data"));
  EXPECT_TRUE(cut.block.ends_with(u"weatherChart\">"));
}

TEST(BlockCut, APageEndingWithTheEndMarkerGivesABlockEndingWithIt) {
  const std::u16string page = filler(40) + u"observe24h_data = {}; weatherChart";
  EXPECT_EQ(cutBlock(page).block, u"observe24h_data = {}; weatherChart");
  // One character after the marker: it is taken, the missing second is not.
  EXPECT_EQ(cutBlock(page + u"\"").block, u"observe24h_data = {}; weatherChart\"");
}

TEST(BlockCut, TakesTheFirstOccurrenceOfEachMarker) {
  const std::u16string page = filler(10) + u"observe24h_data A weatherChart\"> B observe24h_data C weatherChart\">";
  EXPECT_EQ(cutBlock(page).block, u"observe24h_data A weatherChart\">");
}

TEST(BlockCut, MissingOrMisplacedMarkersFailNamingTheMarker) {
  EXPECT_TRUE(contains(failureOf([] { cutBlock(filler(50) + u"weatherChart"); }), "observe24h_data"));
  EXPECT_TRUE(contains(failureOf([] { cutBlock(filler(50) + u"observe24h_data {}"); }), "weatherChart"));
  EXPECT_TRUE(contains(failureOf([] { cutBlock(u""); }), "observe24h_data"));
  // The markers are compared exactly.
  EXPECT_TRUE(contains(failureOf([] { cutBlock(u"Observe24h_data x weatherChart"); }), "observe24h_data"));
  EXPECT_TRUE(contains(failureOf([] { cutBlock(u"observe24h_data x WeatherChart"); }), "weatherChart"));

  // The end marker may lie up to 14 characters before the start: the block is then empty.
  EXPECT_EQ(cutBlock(u"weatherChart..observe24h_data").block, u"");
  EXPECT_EQ(cutBlock(u"weatherChart.observe24h_data").block, u"o");
  EXPECT_TRUE(contains(failureOf([] { cutBlock(u"weatherChart...observe24h_data"); }), "weatherChart"));
  EXPECT_TRUE(contains(failureOf([] { cutBlock(filler(200) + u"weatherChart" + filler(100) + u"observe24h_data"); }),
                       "weatherChart"));
}

TEST(ObservationTime, TakesTenCharactersFromSixAfterTheKey) {
  // "od0" at 20: the time is positions 26 to 35.
  const std::u16string block = u"observe24h_data = {od0\":\"201506191423\",\"od1\":\"示例\"}";
  ASSERT_EQ(block.find(u"od0"), 19u);
  ObservationTime t = observationTime(block);
  EXPECT_EQ(t.keyPosition, 20u);
  EXPECT_EQ(t.time, u"2015061914");
  EXPECT_EQ(t.time, block.substr(25, 10));

  // A short value brings its closing quotation mark and what follows.
  EXPECT_EQ(observationTime(u"{\"od0\":\"20150619\",\"od1\"").time, u"20150619\",");
  // The block ends first: fewer characters.
  EXPECT_EQ(observationTime(u"{\"od0\":\"2015").time, u"2015");
  EXPECT_EQ(observationTime(u"{\"od0\":").time, u"");
}

TEST(ObservationTime, WithoutTheKeyComesFromPositionsSixToFifteen) {
  const ObservationTime t = observationTime(u"observe24h_data = {\"od\":{\"od2\":[]}}; weatherChart\">");
  EXPECT_EQ(t.keyPosition, 0u);
  EXPECT_EQ(t.time, u"ve24h_data");
}

// ---------------------------------------------------------------------------

class SamplePage : public testing::TestWithParam<std::string> {};

TEST_P(SamplePage, GivesTheTimeAndTheFourSeriesInBlockOrder) {
  const std::u16string page = samplePage(GetParam());
  const Expected expected = expectedOf(GetParam());
  // The block lies past the first 30000 characters, as on the site.
  ASSERT_GT(page.find(u"observe24h_data"), 30000u);

  const BlockCut cut = cutBlock(page);
  EXPECT_TRUE(cut.block.starts_with(u"observe24h_data"));
  EXPECT_TRUE(cut.block.ends_with(u"<div id=\"weatherChart\">"));
  EXPECT_EQ(observationTime(cut.block).time, expected.od0.substr(0, 10));

  const SeriesLists lists = extractAll(cut.block);
  EXPECT_EQ(entries1to25(lists.hour.values), expected.hour);
  EXPECT_EQ(entries1to25(lists.temperature.values), expected.temperature);
  EXPECT_EQ(entries1to25(lists.precipitation.values), expected.precipitation);
  EXPECT_EQ(entries1to25(lists.humidity.values), expected.humidity);

  // Positions point at the keys, in block order; value starts are 7 further.
  for (const auto& [key, list] : {std::pair{u"od21", &lists.hour}, std::pair{u"od22", &lists.temperature},
                                  std::pair{u"od26", &lists.precipitation}, std::pair{u"od27", &lists.humidity}}) {
    std::size_t previous = 0;
    for (int i = 1; i <= kSeriesEntries; ++i) {
      const std::size_t at = cut.block.find(key, previous);
      ASSERT_NE(at, std::u16string::npos);
      EXPECT_EQ(list->keyPositions[i], decimal(static_cast<long long>(at + 1))) << i;
      EXPECT_EQ(list->valueStarts[i], decimal(static_cast<long long>(at + 8))) << i;
      previous = at + 1;
    }
  }

  // The display lists entry 25 first.
  std::u16string shown;
  for (int i = 24; i >= 0; --i) shown += expected.humidity[i] + u"\r\n";
  EXPECT_EQ(displayText(lists.humidity.values), shown);
}

INSTANTIATE_TEST_SUITE_P(TestData, SamplePage, testing::Values("hangzhou-2014", "harbin-2016"));

TEST(SamplePages, HoldTheLongerValuesTheExtractionMustKeepWhole) {
  const SeriesLists harbin = extractAll(cutBlock(samplePage("harbin-2016")).block);
  EXPECT_EQ(harbin.temperature.values[2], u"-10.5");
  EXPECT_EQ(harbin.precipitation.values[8], u"12.5");
  EXPECT_EQ(harbin.humidity.values[25], u"100");  // the first one processed
  const SeriesLists hangzhou = extractAll(cutBlock(samplePage("hangzhou-2014")).block);
  EXPECT_EQ(hangzhou.precipitation.values[7], u"12.5");
  EXPECT_EQ(hangzhou.precipitation.values[3], u"0.5");
}

// ---------------------------------------------------------------------------

TEST(SeriesValues, RunUpToTheClosingQuotationMark) {
  std::vector<Obs> day = dayOf(25);
  day[24] = {u"13", u"-10.5", u"12.5", u"100"};  // entry 25, the first processed
  day[6] = {u"8", u"-9", u"12.5", u"7"};          // entry 7 ...
  day[7] = {u"7", u"-8", u"0.4", u"65"};          // ... after a three-character entry 8
  day[3] = {u"", u"", u"", u""};                  // empty values
  day[4] = {u"1,2", u"3,", u",5", u"6,7"};         // values holding the stop character
  day[5] = {u"12,34", u"22.8", u"123456", u"99"};
  for (bool withOd28 : {true, false}) {
    SCOPED_TRACE(withOd28 ? "humidity followed by od28" : "humidity closing the object");
    const SeriesLists lists = extractAll(blockOf(day, withOd28));
    EXPECT_EQ(lists.hour.values[25], u"13");
    EXPECT_EQ(lists.temperature.values[25], u"-10.5");
    EXPECT_EQ(lists.precipitation.values[25], u"12.5");
    EXPECT_EQ(lists.humidity.values[25], u"100");
    EXPECT_EQ(lists.precipitation.values[7], u"12.5");
    EXPECT_EQ(lists.precipitation.values[8], u"0.4");
    for (const SeriesList* l : {&lists.hour, &lists.temperature, &lists.precipitation, &lists.humidity})
      EXPECT_EQ(l->values[4], u"");
    EXPECT_EQ(lists.hour.values[5], u"1,2");
    EXPECT_EQ(lists.temperature.values[5], u"3,");
    EXPECT_EQ(lists.precipitation.values[5], u",5");
    EXPECT_EQ(lists.humidity.values[5], u"6,7");
    EXPECT_EQ(lists.hour.values[6], u"12,34");
    EXPECT_EQ(lists.temperature.values[6], u"22.8");
    EXPECT_EQ(lists.precipitation.values[6], u"123456");
    EXPECT_EQ(lists.humidity.values[6], u"99");
    EXPECT_EQ(lists.hour.values[1], day[0].hour);
    EXPECT_EQ(lists.humidity.values[1], day[0].humidity);
  }
}

TEST(SeriesValues, AValueWithoutClosingQuotationMarkIsEmpty) {
  std::u16string block = blockOf(dayOf(2));
  block.resize(block.rfind(u"\"od27\":\"") + 10);  // ends in "od27":"4x, cut inside the value
  ASSERT_TRUE(block.ends_with(u"\"od27\":\"41"));
  SeriesList humidity;
  extractSeries(block, u"od27", "humidity", humidity);
  EXPECT_EQ(humidity.values[1], u"40");
  EXPECT_EQ(humidity.keyPositions[2], decimal(static_cast<long long>(block.size() - 8)));
  EXPECT_EQ(humidity.values[2], u"");

  // A value start past the block's end.
  SeriesList hour;
  extractSeries(u"xod21\"", u"od21", "hourly", hour);
  EXPECT_EQ(hour.keyPositions[1], u"2");
  EXPECT_EQ(hour.valueStarts[1], u"9");
  EXPECT_EQ(hour.values[1], u"");
}

TEST(SeriesValues, ABareNumberRunsFromSixAfterTheKeyToTheNextCommaBraceOrBracketTrimmed) {
  const std::u16string block = u"[{\"od22\":14.8,\"od22\": -3 },{\"od22\":0]\"od22\":\"7\",\"od22\":5";
  SeriesList t;
  extractSeries(block, u"od22", "temperature", t);
  const std::u16string values[] = {u"14.8", u"-3", u"0", u"7", u""};  // the last has no end
  for (int i = 1; i <= 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.values[i], values[i - 1]);
    const long long key = std::stoll(toUtf8(t.keyPositions[i]));
    EXPECT_EQ(block.substr(key - 1, 4), u"od22");
    EXPECT_EQ(t.valueStarts[i], decimal(key + (i == 4 ? 7 : 6)));
  }
}

// Blanks after the colon do not make a quoted value bare: it runs from
// after its opening quotation mark, without the marks. Without blanks the
// value starts where it always did.
TEST(SeriesValues, AQuotedValueAfterBlanksIsReadWithoutItsQuotationMarks) {
  const struct {
    std::u16string block, value, start;  // start: value start less key position
  } cases[] = {
      {u"{\"od22\": \"14.8\",", u"14.8", u"8"},
      {u"{\"od22\":\t \"-3\"}", u"-3", u"9"},
      {u"{\"od22\":\r\n\"\",", u"", u"9"},
      {u"{\"od22\":\"14.8\",", u"14.8", u"7"},
      {u"{\"od22\": 14.8,", u"14.8", u"6"},
      {u"{\"od22\":  \"5", u"", u"9"},  // no closing quotation mark
      {u"{\"od22\":   ", u"", u"6"},    // nothing after the blanks
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.block));
    SeriesList t;
    extractSeries(c.block, u"od22", "temperature", t);
    EXPECT_EQ(t.values[1], c.value);
    EXPECT_EQ(t.keyPositions[1], u"3");
    EXPECT_EQ(std::stoll(toUtf8(t.valueStarts[1])) - 3, std::stoll(toUtf8(c.start)));
  }
}

TEST(SeriesKeys, PositionsAreOneBasedAndShownLastFirst) {
  const std::u16string block = u"od21\":\"05\",xx,od21\":\"04\",od21\":\"3\",";
  SeriesList hour;
  extractSeries(block, u"od21", "hourly", hour);
  EXPECT_EQ(hour.keyPositions[1], u"1");
  EXPECT_EQ(hour.keyPositions[2], u"15");
  EXPECT_EQ(hour.keyPositions[3], u"26");
  EXPECT_EQ(hour.valueStarts[3], u"33");
  // Fewer than 25: the missing entries are empty and show as empty lines.
  std::u16string emptyLines;
  for (int i = 0; i < 22; ++i) emptyLines += u"\r\n";
  EXPECT_EQ(displayText(hour.keyPositions), emptyLines + u"26\r\n15\r\n1\r\n");
  EXPECT_EQ(displayText(hour.values), emptyLines + u"3\r\n04\r\n05\r\n");
}

TEST(SeriesKeys, AKeyEndingTheBlockIsNotCounted) {
  SeriesList hour;
  extractSeries(blockOf(dayOf(3)) + u"od21", u"od21", "hourly", hour);
  EXPECT_NE(hour.keyPositions[3], u"");
  EXPECT_EQ(hour.keyPositions[4], u"");

  // One more character and it counts.
  SeriesList again;
  extractSeries(blockOf(dayOf(3)) + u"od21x", u"od21", "hourly", again);
  EXPECT_NE(again.keyPositions[4], u"");
  EXPECT_EQ(again.values[4], u"");

  EXPECT_EQ(failureOf([] {
              SeriesList l;
              extractSeries(u"od21", u"od21", "hourly", l);
            }),
            "no hourly values (od21) in the observation block");
  EXPECT_EQ(failureOf([] {
              SeriesList l;
              extractSeries(u"od2", u"od21", "hourly", l);
            }),
            "no hourly values (od21) in the observation block");
}

TEST(SeriesKeys, MoreThan25TakesTheFirst25) {
  const std::vector<Obs> day = dayOf(27);
  const SeriesLists lists = extractAll(blockOf(day));
  EXPECT_EQ(lists.hour.values[25], day[24].hour);
  EXPECT_EQ(lists.humidity.values[25], day[24].humidity);
  EXPECT_EQ(lists.humidity.values[1], day[0].humidity);
}

TEST(SeriesKeys, FewerThan25LeaveTheRestEmptyEvenInAUsedList) {
  SeriesLists lists = extractAll(blockOf(dayOf(25)));
  ASSERT_NE(lists.temperature.values[25], u"");
  const std::vector<Obs> day = dayOf(3);
  extractSeries(blockOf(day), u"od22", "temperature", lists.temperature);
  EXPECT_EQ(lists.temperature.values[3], day[2].temperature);
  for (int i = 4; i <= kSeriesEntries; ++i) {
    EXPECT_EQ(lists.temperature.values[i], u"") << i;
    EXPECT_EQ(lists.temperature.keyPositions[i], u"") << i;
    EXPECT_EQ(lists.temperature.valueStarts[i], u"") << i;
  }
}

TEST(SeriesKeys, AMissingKeyFailsNamingTheSeries) {
  std::u16string block = blockOf(dayOf(25), false);
  for (std::size_t at; (at = block.find(u"od26")) != std::u16string::npos;) block.replace(at, 4, u"rain");
  SeriesLists lists;
  extractSeries(block, u"od21", "hourly", lists.hour);
  EXPECT_EQ(failureOf([&] { extractSeries(block, u"od26", "precipitation", lists.precipitation); }),
            "no precipitation values (od26) in the observation block");
  EXPECT_EQ(failureOf([&] { extractSeries(u"", u"od27", "humidity", lists.humidity); }),
            "no humidity values (od27) in the observation block");
}

// A record keeps data only: an empty value, a plain number or one of the
// site's placeholders; anything else fails the place, whichever field holds
// it, naming the field and showing the value's start (control characters
// written out). The chart reads the same texts as numbers.
TEST(RecordedValue, OnlyDataIsRecordedWhicheverFieldHoldsIt) {
  using namespace std::string_view_literals;
  const std::u16string longest(datafile::kMostValueCharacters, u'9'), tooLong = longest + u"9";
  const std::u16string_view refused[] = {
      u"=2*3", u"=HYPERLINK(\"http://127.0.0.1/x\";\"click\")", u"+1", u"-1+2", u"-.5", u"1.", u"@SUM(A1)", u"-x",
      u"---", u"NULL", u" =1+2", u"\u3000=HYPERLINK(1)", u"\u00A0=1", u"\u2003@x", u" 1", u"1e999", u"1E5", u"1/2",
      u"12:30", u"TRUE", u"东北风", u"1=2", u"1,5", u"１２", u"1\0002"sv, u"\0"sv, u"7\x7F", u"\t=1", u"2\r\n3", tooLong};
  const std::u16string_view kept[] = {u"", u"0", u"08", u"-10.5", u"12.5", u"-0", u"-", u"--", u"null", longest};
  const char* series[] = {"整点", "气温", "降水", "湿度"};
  for (int field = 0; field < 4; ++field) {
    for (const bool keep : {false, true}) {
      for (const std::u16string_view value : keep ? std::span<const std::u16string_view>(kept) : refused) {
        SeriesLists lists = extractAll(blockOf(dayOf(25)));
        SeriesList* fields[] = {&lists.hour, &lists.temperature, &lists.precipitation, &lists.humidity};
        fields[field]->values[7] = value;
        EXPECT_EQ(datafile::plainNumber(value), chart::plainNumber(value)) << toUtf8(value);
        if (keep) {
          const std::u16string row = lists.hour.values[7] + u"\t" + lists.temperature.values[7] + u"\t" +
                                     lists.precipitation.values[7] + u"\t" + lists.humidity.values[7];
          EXPECT_TRUE(contains(toUtf8(datafile::recordText(u"2015061914", lists)), "\r\n" + toUtf8(row) + "\r\n"))
              << toUtf8(value);
          continue;
        }
        const std::string message = failureOf([&] { datafile::recordText(u"2015061914", lists); });
        EXPECT_TRUE(contains(message, std::string("“") + series[field] + "”第 7 项")) << message;
        EXPECT_EQ(message.find_first_of(std::string("\0\t\r\n\x7F", 5)), std::string::npos) << message;
        EXPECT_TRUE(contains(message, "“" + toUtf8(value.substr(0, value[0] > u' ' ? 1 : 0)))) << message;
        EXPECT_FALSE(contains(message, toUtf8(longest))) << message;
      }
    }
  }
  // The observation time: digits only, at most 14.
  for (const std::u16string_view time : {u"=1+2+3+4+5"sv, u"2016-06-19"sv, u"201606191\t"sv, u"2016061914\0"sv, u"123456789012345"sv})
    EXPECT_FALSE(failureOf([&] { datafile::recordText(time, SeriesLists{}); }).empty()) << toUtf8(time);
  for (const std::u16string_view time : {u""sv, u"2016061914"sv, u"20160302080000"sv})
    EXPECT_TRUE(datafile::recordText(time, SeriesLists{}).starts_with(u"数据记录时间:" + std::u16string(time) + u"\r\n"));
}

}  // namespace
}  // namespace vantoril
