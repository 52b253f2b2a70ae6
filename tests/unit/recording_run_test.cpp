// The record button's run on a window model with a fake downloader: the
// places in list order, the boxes it fills, the pages it fetches ahead, and
// how a failed place is reported while the run goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../support/Fakes.h"
#include "../support/ManyPlaces.h"
#include "../support/SampleData.h"
#include "catalogue/Catalogue.h"
#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "overview/Overview.h"
#include "runlog/RunLog.h"

namespace vantoril {
namespace {

using test::contains;

using test::FormFixture;

class Events final : public RunObserver {
 public:
  std::vector<std::u16string> recorded, skipped, failed;
  // What the page boxes (Text1 to Text12 but Text13) held when a place failed or was skipped.
  Form1* form = nullptr;
  std::vector<std::u16string> boxesNotRecorded;
  int started = 0, ended = 0, waits = 0;
  std::size_t stopAfter = SIZE_MAX;  // places recorded before the window is closed
  void runStarted() override { ++started; }
  void waiting() override { ++waits; }
  bool stopAsked() override { return recorded.size() >= stopAfter; }
  void placeRecorded(const std::u16string& place, const std::u16string&) override { recorded.push_back(place); }
  void placeSkipped(const std::u16string& place, const std::string&) override {
    skipped.push_back(place);
    keepBoxes();
  }
  void placeFailed(const std::u16string& place, const std::string&) override {
    failed.push_back(place);
    keepBoxes();
  }
  // Puts "stale" into the page boxes, standing for the values of the place before.
  void spoilBoxes() {
    for (TextBox* box : boxes()) box->setText(u"stale");
  }
  void runEnded() override { ++ended; }

 private:
  std::vector<TextBox*> boxes() const {
    return {&form->Text1, &form->Text2, &form->Text3, &form->Text4,  &form->Text5,  &form->Text6,
            &form->Text7, &form->Text8, &form->Text9, &form->Text10, &form->Text11, &form->Text12};
  }
  void keepBoxes() {
    if (!form) return;
    std::u16string held;
    for (const TextBox* box : boxes()) held += box->text() + u"|";
    boxesNotRecorded.push_back(held);
  }
};

struct Obs {
  std::u16string hour, temperature, precipitation, humidity;
};

std::vector<Obs> dayOf(int newestHour, int seed) {
  std::vector<Obs> day;
  for (int i = 0; i < 25; ++i)
    day.push_back({decimal((newestHour + 24 - i) % 24), decimal(seed + i % 9 - 4), i == 3 ? u"12.5" : u"0.0",
                   decimal(40 + (seed + i) % 50)});
  return day;
}

// `bare`: the newer pages' layout, temperature, precipitation and humidity
// as JSON numbers, the humidity closing its object.
std::u16string blockOf(const std::vector<Obs>& day, std::u16string_view od0, bool bare = false) {
  std::u16string s = u"observe24h_data = {\"od\":{\"od0\":\"" + std::u16string(od0) + u"\",\"od1\":\"测站\",\"od2\":[";
  for (std::size_t i = 0; i < day.size(); ++i) {
    if (i) s += u",";
    if (bare) {
      s += u"{\"od21\":\"" + day[i].hour + u"\",\"od22\":" + day[i].temperature + u",\"od26\": " +
           day[i].precipitation + u" ,\"od27\":" + day[i].humidity + u"}";
      continue;
    }
    s += u"{\"od21\":\"" + day[i].hour + u"\",\"od22\":\"" + day[i].temperature +
         u"\",\"od23\":\"180\",\"od24\":\"南风\",\"od25\":\"1\",\"od26\":\"" + day[i].precipitation +
         u"\",\"od27\":\"" + day[i].humidity + u"\",\"od28\":\"88\"}";
  }
  return s + u"]}};\n</script>\n<div id=\"weatherChart\">";
}

std::u16string pageAround(std::u16string_view block) {
  return u"\n<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\" /><title>天气预报</title></head><body>\n"
         u"<div class=\"left-div\">\n<script>\nvar " +
         std::u16string(block) + u"\n</div>\n<p>中国气象局公共气象服务中心</p></body></html>\n";
}

// A place with its catalogue file and its page.
struct Place {
  std::u16string name, address, od0;
  std::vector<Obs> day;
  bool bare = false;
  std::u16string block() const { return blockOf(day, od0, bare); }
  std::u16string page() const { return pageAround(block()); }
};

std::vector<Place> threePlaces() {
  return {{u"北京", u"http://www.weather.com.cn/weather1d/101010100.shtml", u"20160619140000", dayOf(14, 27)},
          {u"广州", u"http://www.weather.com.cn/weather1d/101280101.shtml", u"202006092300", dayOf(23, 29)},
          {u"哈尔滨", u"http://www.weather.com.cn/weather1d/101050101.shtml", u"202001140800", dayOf(8, -18)}};
}

std::string utf8(std::u16string_view text) { return toUtf8(text); }

struct Recorder {
  Events events;
  FormFixture f{&events};
  Recorder() { events.form = f.form.get(); }

  void catalogue(const std::u16string& place, std::u16string_view fileText) {
    test::writeGbk(f.website(utf8(place) + ".txt"), fileText);
  }
  void add(const Place& p) {
    catalogue(p.name, p.address + u"\r\n");
    f.downloader.pages[p.address] = p.page();
  }
  std::string dataFile(const std::u16string& place) const { return f.weatherData(utf8(place) + "-WeatherData.xls"); }
  std::u16string dataText(const std::u16string& place) const { return cp936::decode(test::readBytes(dataFile(place))); }
  // The places in the order the list shows them.
  std::vector<Place> loaded(std::vector<Place> places) {
    EXPECT_TRUE(f.form->load());
    std::vector<Place> ordered;
    for (const std::u16string& entry : f.form->List1.entries())
      for (const Place& p : places)
        if (p.name == entry) ordered.push_back(p);
    EXPECT_EQ(ordered.size(), places.size());
    return ordered;
  }
  bool record() { return f.form->click(f.form->Command1); }
};

// The record the data file gets for a place, entry 25 first.
std::u16string recordOf(std::u16string_view time, const std::vector<Obs>& day) {
  std::u16string text = u"数据记录时间:" + std::u16string(time) + u"\r\n整点\t气温\t降水\t湿度\r\n";
  for (int e = 25; e >= 1; --e) {
    const Obs& o = day[e - 1];
    text += o.hour + u"\t" + o.temperature + u"\t" + o.precipitation + u"\t" + o.humidity + u"\r\n";
  }
  return text + u"\r\n";
}

// Entries 25 down to 1, one per line.
template <class Get>
std::u16string shown(const std::vector<Obs>& day, Get get) {
  std::u16string text;
  for (int e = 25; e >= 1; --e) text += get(day[e - 1]) + u"\r\n";
  return text;
}

std::u16string positionsShown(std::u16string_view block, std::u16string_view key) {
  std::vector<std::u16string> positions;
  for (std::size_t at = block.find(key); at != std::u16string_view::npos; at = block.find(key, at + 1))
    positions.push_back(decimal(static_cast<long long>(at + 1)));
  EXPECT_EQ(positions.size(), 25u);
  std::u16string text;
  for (auto it = positions.rbegin(); it != positions.rend(); ++it) text += *it + u"\r\n";
  return text;
}

// ---------------------------------------------------------------------------

TEST(RecordingRun, RecordsEveryPlaceInListOrderAndLeavesTheLastSelected) {
  Recorder run;
  for (const Place& p : threePlaces()) run.add(p);
  const std::vector<Place> places = run.loaded(threePlaces());

  EXPECT_TRUE(run.record());
  EXPECT_TRUE(run.f.report.messages.empty());
  ASSERT_EQ(run.f.downloader.requested.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(utf8(places[i].name));
    EXPECT_EQ(run.f.downloader.requested[i], places[i].address);
    EXPECT_EQ(run.events.recorded[i], places[i].name);
    EXPECT_EQ(run.dataText(places[i].name),
              u"天气数据文件\r\n" + recordOf(places[i].od0.substr(0, 10), places[i].day));
  }
  EXPECT_EQ(run.f.form->List1.selectedIndex(), 2);
  EXPECT_EQ(run.events.started, 1);
  EXPECT_EQ(run.events.ended, 1);
  // The overview of the places, written after the run.
  const std::string overview = readWholeFile(overview::overviewPath(run.f.folder.path()));
  for (const Place& p : places) EXPECT_NE(overview.find("<td>" + utf8(p.name) + "</td>"), std::string::npos);

  // A second run adds one record to each file.
  EXPECT_TRUE(run.record());
  for (const Place& p : places)
    EXPECT_EQ(run.dataText(p.name), u"天气数据文件\r\n" + recordOf(p.od0.substr(0, 10), p.day) +
                                        recordOf(p.od0.substr(0, 10), p.day));
}

TEST(RecordingRun, TheBoxesHoldTheLastPlacesResults) {
  Recorder run;
  for (const Place& p : threePlaces()) run.add(p);
  const Place last = run.loaded(threePlaces()).back();
  ASSERT_TRUE(run.record());

  Form1& form = *run.f.form;
  const std::u16string block = last.block();
  EXPECT_EQ(form.Text15.text(), last.name);
  EXPECT_EQ(form.Text14.text(), last.address);
  EXPECT_EQ(form.Text1.text(), last.page());
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：" + decimal(static_cast<long long>(last.page().size())));
  EXPECT_EQ(form.Text5.text(), block);
  EXPECT_EQ(form.Label7.caption(), u"截文字符数：" + decimal(static_cast<long long>(block.size())));
  EXPECT_EQ(form.Text2.text(), decimal(static_cast<long long>(block.find(u"od0") + 1)));
  EXPECT_EQ(form.Text3.text(), last.od0.substr(0, 10));
  EXPECT_EQ(form.Text4.text(), positionsShown(block, u"od21"));
  EXPECT_EQ(form.Text6.text(), positionsShown(block, u"od22"));
  EXPECT_EQ(form.Text7.text(), positionsShown(block, u"od26"));
  EXPECT_EQ(form.Text8.text(), positionsShown(block, u"od27"));
  EXPECT_EQ(form.Text9.text(), shown(last.day, [](const Obs& o) { return o.hour; }));
  EXPECT_EQ(form.Text10.text(), shown(last.day, [](const Obs& o) { return o.temperature; }));
  EXPECT_EQ(form.Text11.text(), shown(last.day, [](const Obs& o) { return o.precipitation; }));
  EXPECT_EQ(form.Text12.text(), shown(last.day, [](const Obs& o) { return o.humidity; }));
}

TEST(RecordingRun, JoinsAnAddressSplitOverLines) {
  Recorder run;
  Place p = threePlaces()[0];
  run.catalogue(p.name, u"http://www.weather.com.cn/\r\nweather1d/101010100.shtml\r\n\r\n\r\n");
  run.f.downloader.pages[p.address] = p.page();
  run.loaded({p});
  EXPECT_TRUE(run.record());
  EXPECT_EQ(run.f.downloader.requested, std::vector<std::u16string>{p.address});
  EXPECT_EQ(run.f.form->Text14.text(), p.address);
}

TEST(RecordingRun, WithoutTimeKeyTheTimeComesFromTheMarker) {
  Recorder run;
  Place p = threePlaces()[0];
  run.catalogue(p.name, p.address + u"\r\n");
  std::u16string block = p.block();
  block.replace(block.find(u"od0"), 3, u"ob0");
  run.f.downloader.pages[p.address] = pageAround(block);
  run.loaded({p});
  // A time that is not digits is no time: the place is not recorded.
  EXPECT_FALSE(run.record());
  EXPECT_EQ(run.f.form->Text2.text(), u"0");
  EXPECT_EQ(run.f.form->Text3.text(), u"ve24h_data");
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  EXPECT_TRUE(contains(run.f.report.messages[0], "观测数据时间的值 “ve24h_data”")) << run.f.report.messages[0];
  EXPECT_FALSE(std::filesystem::exists(run.dataFile(p.name)));
}

// The site's pages put the block past the 30000 characters that Text1 holds.
TEST(RecordingRun, FindsTheBlockPastWhatTheTextBoxHolds) {
  Recorder run;
  const std::u16string page = fromUtf8(test::sampleData("harbin-2016.html"));
  ASSERT_GT(page.find(u"observe24h_data"), 30000u);
  const std::u16string address = u"http://www.weather.com.cn/weather1d/101050101.shtml";
  run.catalogue(u"哈尔滨", address + u"\r\n");
  run.f.downloader.pages[address] = page;
  run.loaded({{u"哈尔滨", address, u"", {}}});

  EXPECT_TRUE(run.record()) << (run.f.report.messages.empty() ? "" : run.f.report.messages[0]);
  Form1& form = *run.f.form;
  EXPECT_EQ(form.Text1.text(), page.substr(0, 30000));
  EXPECT_EQ(form.Label5.caption(), u"全文字符数：30000");
  EXPECT_EQ(form.pageText(), page);
  EXPECT_TRUE(form.Text5.text().starts_with(u"observe24h_data = {\"od\":{\"od0\":\"20160302080000\""));
  EXPECT_TRUE(form.Text5.text().ends_with(u"<div id=\"weatherChart\">"));
  EXPECT_EQ(form.Text3.text(), u"2016030208");

  // The record, against what the page's maker wrote down.
  std::istringstream expected(test::sampleData("harbin-2016.expected.txt"));
  std::string line;
  std::getline(expected, line);
  std::vector<Obs> day;
  while (std::getline(expected, line)) {
    std::vector<std::u16string> f;
    std::size_t from = 0;
    for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      f.push_back(fromUtf8(line.substr(from, tab - from)));
    f.push_back(fromUtf8(line.substr(from)));
    ASSERT_EQ(f.size(), 4u);
    day.push_back({f[0], f[1], f[2], f[3]});
  }
  ASSERT_EQ(day.size(), 25u);
  EXPECT_EQ(run.dataText(u"哈尔滨"), u"天气数据文件\r\n" + recordOf(u"2016030208", day));
}

// The newer pages write bare numbers: the record holds each value as a JSON
// reading of the block gives it, for either layout.
TEST(RecordingRun, RecordsBareNumbersAsWrittenBesideQuotedPages) {
  Recorder run;
  std::vector<Place> places = threePlaces();
  places[1].bare = true;
  for (const Place& p : places) run.add(p);
  const std::vector<Place> ordered = run.loaded(places);
  ASSERT_TRUE(run.record()) << run.f.report.messages[0];
  for (const Place& p : ordered)
    EXPECT_EQ(run.dataText(p.name), u"天气数据文件\r\n" + recordOf(p.od0.substr(0, 10), p.day)) << utf8(p.name);
}

// A data file whose end a crash tore: the torn end goes aside, the record
// is written, and the end of the run says so.
TEST(RecordingRun, ATornEndOfADataFileIsMovedAsideAndReported) {
  Recorder run;
  const Place p = threePlaces()[0];
  run.add(p);
  run.loaded({p});
  test::writeGbk(run.dataFile(p.name), u"天气数据文件\r\n数据记录时间:20");
  EXPECT_TRUE(run.record());
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  EXPECT_TRUE(test::contains(run.f.report.messages[0], "以下 1 个地名的数据文件末尾不完整，已先移开：\n北京: 数据文件末尾有 15 字节"))
      << run.f.report.messages[0];
  EXPECT_EQ(run.dataText(p.name), u"天气数据文件\r\n" + recordOf(p.od0.substr(0, 10), p.day));
  EXPECT_EQ(run.f.form->lastRun().recorded, 1);
}

// Runs `action` whenever Text15 turns to `place`, as another program might
// change the catalogue while the run works.
class OnTurnOf final : public ControlListener {
 public:
  OnTurnOf(Form1& form, std::u16string place, std::function<void()> action)
      : form_(form), place_(std::move(place)), action_(std::move(action)) {}
  void controlChanged(const Control& control) override {
    if (&control == &form_.Text15 && form_.Text15.text() == place_) {
      action_();
      ++times;
    }
  }
  int times = 0;

 private:
  Form1& form_;
  std::u16string place_;
  std::function<void()> action_;
};

// The run learns the data folder's names once instead of looking for each
// place's files: what it lists (a pending record, a crash's half-written
// landing note) is still dealt with, and so is a pending file another
// program makes while the run works.
TEST(RecordingRun, TheDataFolderListedOnceMissesNoPendingRecordNorLeftover) {
  Recorder run;
  for (const Place& p : threePlaces()) run.add(p);
  const std::vector<Place> places = run.loaded(threePlaces());
  ASSERT_TRUE(run.record());
  const auto pendingOf = [&](const Place& p) { return run.f.weatherData(utf8(p.name) + "-WeatherData.pending"); };
  const std::u16string waited = recordOf(u"2016061812", dayOf(12, 5));
  test::writeGbk(pendingOf(places[0]), waited);
  const std::string halfNote = run.f.weatherData(utf8(places[1].name) + "-WeatherData.landing.tmp");
  writeWholeFile(halfNote, "new\r\nhalf");
  // Listed as it was an hour ago, so that the run trusts its listing. (Wine
  // cannot set a folder's time: there the run looks for every file, which
  // must come out the same.)
  std::error_code ignored;
  std::filesystem::last_write_time(run.f.weatherData(""), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1),
                                   ignored);
  OnTurnOf otherProgram(*run.f.form, places[1].name, [&] { test::writeGbk(pendingOf(places[2]), waited); });
  run.f.form->setListener(&otherProgram);
  EXPECT_TRUE(run.record());
  run.f.form->setListener(nullptr);
  for (const Place* p : {&places[0], &places[2]}) {
    const std::u16string record = recordOf(p->od0.substr(0, 10), p->day);
    EXPECT_EQ(run.dataText(p->name), u"天气数据文件\r\n" + record + waited + record) << utf8(p->name);
    EXPECT_FALSE(std::filesystem::exists(pendingOf(*p))) << utf8(p->name);
  }
  EXPECT_FALSE(std::filesystem::exists(halfNote));
}

TEST(PagesAhead, APageFetchedForAnAddressTheFileNoLongerHoldsIsFetchedAgain) {
  Recorder run;
  for (const Place& p : threePlaces()) run.add(p);
  const std::vector<Place> places = run.loaded(threePlaces());
  const std::u16string moved = places[1].address + u"?moved";
  run.f.downloader.pages[moved] = places[1].page();
  OnTurnOf edit(*run.f.form, places[0].name, [&] { run.catalogue(places[1].name, moved + u"\r\n"); });
  run.f.form->setListener(&edit);
  ASSERT_TRUE(run.record());
  run.f.form->setListener(nullptr);

  const std::string a = utf8(places[0].address), b = utf8(places[1].address), c = utf8(places[2].address);
  EXPECT_EQ(run.f.downloader.calls,
            (std::vector<std::string>{"ahead " + a, "ahead " + b, "ahead " + c, "collect " + a, "abandon " + b,
                                      "ahead " + utf8(moved), "collect " + utf8(moved), "collect " + c}));
  EXPECT_EQ(run.events.recorded.size(), 3u);
}

TEST(PagesAhead, AtMostSevenAreHeldAndAStoppedRunAbandonsTheRest) {
  Recorder run;
  std::vector<Place> places;
  for (int i = 0; i < 12; ++i) {
    const std::u16string n = decimal(10 + i);
    places.push_back(
        {u"地" + n, u"http://www.weather.com.cn/weather1d/1010101" + n + u".shtml", u"2020061914", dayOf(14, i)});
    run.add(places.back());
  }
  run.loaded(places);
  run.events.stopAfter = 3;  // the window is closed while the third place is processed

  EXPECT_TRUE(run.record());
  EXPECT_TRUE(run.f.report.messages.empty());
  EXPECT_EQ(run.events.recorded.size(), 3u);
  EXPECT_EQ(run.events.ended, 1);
  EXPECT_EQ(run.events.waits, 3);
  EXPECT_EQ(run.f.downloader.mostHeld, 7u);
  EXPECT_TRUE(run.f.downloader.held.empty());
  // Places 4 to 9 were fetched ahead and dropped; 10 to 12 never asked for.
  EXPECT_EQ(std::count_if(run.f.downloader.calls.begin(), run.f.downloader.calls.end(),
                          [](const std::string& call) { return call.starts_with("abandon "); }),
            6);
  EXPECT_EQ(run.f.downloader.requested.size(), 3u);
}

TEST(RecordingRun, RecordsAPlaceFromASubfolderWithoutAStrayFileAtTheTop) {
  Recorder run;
  const Place p = threePlaces()[0];
  test::writeGbk(run.f.website("north/" + utf8(p.name) + ".txt"), p.address + u"\r\n");
  run.f.downloader.pages[p.address] = p.page();
  run.loaded({p});
  ASSERT_TRUE(run.record()) << run.f.report.messages[0];
  EXPECT_EQ(run.dataText(p.name), u"天气数据文件\r\n" + recordOf(p.od0.substr(0, 10), p.day));
  EXPECT_FALSE(std::filesystem::exists(run.f.website(utf8(p.name) + ".txt")));
}

// ---------------------------------------------------------------------------

struct FailureCase {
  const char* what;
  // Spoils the second place of the list; returns a text the message must hold.
  std::function<std::string(Recorder&, const Place&)> spoil;
};

TEST(RecordingRunFailure, AFailingPlaceIsReportedAndTheRunGoesOnWithTheNext) {
  auto pageWith = [](Recorder& run, const Place& p, std::u16string page) { run.f.downloader.pages[p.address] = page; };
  const std::vector<FailureCase> cases = {
      {"no start marker",
       [&](Recorder& run, const Place& p) {
         std::u16string page = p.page();
         page.replace(page.find(u"observe24h_data"), 15, u"observe_data");
         pageWith(run, p, page);
         return std::string("observe24h_data");
       }},
      {"no end marker",
       [&](Recorder& run, const Place& p) {
         std::u16string page = p.page();
         page.replace(page.find(u"weatherChart"), 12, u"chart");
         pageWith(run, p, page);
         return std::string("weatherChart");
       }},
      {"end marker well before the start",
       [&](Recorder& run, const Place& p) {
         pageWith(run, p, u"<div id=\"weatherChart\"></div><p>天气实况</p>" + p.page());
         return std::string("weatherChart");
       }},
      {"no temperatures",
       [&](Recorder& run, const Place& p) {
         std::u16string page = p.page();
         for (std::size_t at; (at = page.find(u"od22")) != std::u16string::npos;) page.replace(at, 4, u"t22");
         pageWith(run, p, page);
         return utf8(p.name) + ": no temperature values (od22) in the observation block";
       }},
      {"a value GBK cannot hold",
       [&](Recorder& run, const Place& p) {
         Place spoilt = p;
         spoilt.day[3].temperature = u"2😀";  // would be stored as "2?"
         pageWith(run, p, spoilt.page());
         return std::string("“气温”第 4 项的值 “2😀” 不是数字");
       }},
      {"a formula for a value",
       [&](Recorder& run, const Place& p) {
         Place spoilt = p;
         spoilt.day[3].temperature = u"\u3000=2*3";
         pageWith(run, p, spoilt.page());
         return std::string("“气温”第 4 项的值 “\u3000=2*3” 不是数字");
       }},
      {"a control character in a value",
       [&](Recorder& run, const Place& p) {
         Place spoilt = p;
         spoilt.day[0].humidity = std::u16string(u"1\0002", 3);
         pageWith(run, p, spoilt.page());
         return std::string("“湿度”第 1 项的值 “1\\x002” 含有控制字符");
       }},
      {"a value of 15,000,000 characters",
       [&](Recorder& run, const Place& p) {
         Place spoilt = p;
         spoilt.day[24].precipitation = std::u16string(15'000'000, u'9');
         pageWith(run, p, spoilt.page());
         return std::string("“降水”第 25 项的值 “9999999999999999…” 超过 32 个字符");
       }},
      {"a formula for the time",
       [&](Recorder& run, const Place& p) {
         Place spoilt = p;
         spoilt.od0 = u"=1+2+3+4+50000";
         pageWith(run, p, spoilt.page());
         return std::string("时间的值 “=1+2+3+4+5” 不是 14 位以内的数字");
       }},
      {"download refused",
       [&](Recorder& run, const Place& p) {
         run.f.downloader.pages.erase(p.address);
         return utf8(p.address);
       }},
      {"data file and pending file that are folders",
       [&](Recorder& run, const Place& p) {
         std::string file = run.dataFile(p.name);
         std::filesystem::create_directories(file);
         std::filesystem::create_directories(file.replace(file.rfind(".xls"), 4, ".pending"));
         return utf8(p.name) + ": ";
       }},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    Recorder run;
    for (const Place& p : threePlaces()) run.add(p);
    const std::vector<Place> places = run.loaded(threePlaces());
    const std::string cause = c.spoil(run, places[1]);
    OnTurnOf leftOver(*run.f.form, places[1].name, [&] { run.events.spoilBoxes(); });
    run.f.form->setListener(&leftOver);

    EXPECT_FALSE(run.record());
    run.f.form->setListener(nullptr);
    ASSERT_EQ(run.f.report.messages.size(), 1u);
    const std::string& message = run.f.report.messages[0];
    EXPECT_TRUE(message.starts_with("以下 1 个地名没有记录：\n")) << message;
    EXPECT_TRUE(contains(test::reportLine(message, utf8(places[1].name)), cause)) << message;
    EXPECT_EQ(run.events.recorded, (std::vector<std::u16string>{places[0].name, places[2].name}));
    EXPECT_EQ(run.events.failed, std::vector<std::u16string>{places[1].name});
    // Nothing of the place before stands under the failed place's name.
    ASSERT_EQ(run.events.boxesNotRecorded.size(), 1u);
    EXPECT_FALSE(contains(utf8(run.events.boxesNotRecorded[0]), "stale")) << utf8(run.events.boxesNotRecorded[0]);
    EXPECT_EQ(run.events.ended, 1);
    // The places before and after are recorded as ever; the failing one is not.
    for (int i : {0, 2})
      EXPECT_EQ(run.dataText(places[i].name),
                u"天气数据文件\r\n" + recordOf(places[i].od0.substr(0, 10), places[i].day));
    EXPECT_FALSE(std::filesystem::is_regular_file(run.dataFile(places[1].name)));
    EXPECT_EQ(run.f.downloader.requested.size(), 3u);
    EXPECT_EQ(run.f.form->List1.selectedIndex(), 2);
  }
}

// No place: said, with the folder to put them in, which is made; no failure.
TEST(RecordingRunFailure, NoPlaceIsSaidAndTheFolderMadeWhetherItWasMissingOrEmpty) {
  for (const bool made : {false, true}) {
    Recorder run;
    if (made) std::filesystem::create_directories(run.f.website("empty/sub"));
    EXPECT_TRUE(run.f.form->load());
    ASSERT_EQ(run.f.form->List1.entryCount(), 0);
    EXPECT_TRUE(run.record()) << made;
    EXPECT_TRUE(run.f.downloader.requested.empty());
    EXPECT_EQ(run.f.report.messages, std::vector<std::string>{noPlacesText(catalogue::folder(run.f.folder.path()))});
    EXPECT_TRUE(run.f.report.messages[0].starts_with("没有地名：")) << run.f.report.messages[0];
    EXPECT_TRUE(contains(run.f.report.messages[0], "请用菜单 地名 → 按名称添加… 或 vantoril --add 添加"));
    EXPECT_TRUE(std::filesystem::is_directory(run.f.website()));
    EXPECT_FALSE(std::filesystem::exists(run.f.weatherData()));
    EXPECT_EQ(run.f.form->lastRunExitCode(), 0);
    const auto summary = runlog::lastSummary(run.f.folder.path());
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->note, "没有地名");
  }
}

// The run records what the folder holds at the click, not what the list
// showed: a place added since is recorded, a place deleted since is not.
TEST(RecordingRun, RecordsThePlacesTheFolderHoldsAtTheClick) {
  Recorder run;
  const std::vector<Place> places = threePlaces();
  run.add(places[0]);
  run.add(places[1]);
  run.loaded({places[0], places[1]});
  run.add(places[2]);
  // The program's own file functions: Chinese names on Windows too.
  removeFile(run.f.website(utf8(places[0].name) + ".txt"));
  EXPECT_TRUE(run.record()) << run.f.report.messages.at(0);
  // In the list's order, which is the platform's.
  std::vector<std::u16string> requested = run.f.downloader.requested, expected{places[1].address, places[2].address};
  std::sort(requested.begin(), requested.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(requested, expected);
  for (const Place& p : {places[1], places[2]}) EXPECT_TRUE(fileExists(run.dataFile(p.name))) << utf8(p.name);
  EXPECT_FALSE(fileExists(run.dataFile(places[0].name)));
  EXPECT_FALSE(fileExists(run.f.website(utf8(places[0].name) + ".txt")));  // no placeholder
}

TEST(RecordingRunFailure, APlaceWhoseFileVanishedDuringTheRunGetsThePlaceholderAddress) {
  Recorder run;
  const Place p = threePlaces()[0];
  run.add(p);
  run.loaded({p});
  bool removed = false;
  OnTurnOf thief(*run.f.form, p.name, [&] {
    if (!std::exchange(removed, true)) std::filesystem::remove(run.f.website("北京.txt"));
  });
  run.f.form->setListener(&thief);

  EXPECT_FALSE(run.record());
  run.f.form->setListener(nullptr);
  // The list click wrote the placeholder, and the run tried to download it.
  EXPECT_EQ(test::readBytes(run.f.website("北京.txt")), "http:\r\n");
  EXPECT_EQ(run.f.downloader.requested, std::vector<std::u16string>{u"http:"});
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  EXPECT_TRUE(contains(run.f.report.messages[0], "\n北京: ")) << run.f.report.messages[0];
  EXPECT_TRUE(contains(run.f.report.messages[0], "http:")) << run.f.report.messages[0];
  EXPECT_FALSE(std::filesystem::exists(run.dataFile(p.name)));
}

TEST(RecordingRunFailure, APlaceWithoutCatalogueFileIsSkippedNotRecordedFromThePageBefore) {
  Recorder run;
  for (const Place& p : threePlaces()) run.add(p);
  const std::vector<Place> places = run.loaded(threePlaces());
  OnTurnOf thief(*run.f.form, places[1].name,
                 [&] {
                   std::filesystem::remove(run.f.website(utf8(places[1].name) + ".txt"));
                   run.events.spoilBoxes();  // what the place before left
                 });
  run.f.form->setListener(&thief);

  EXPECT_FALSE(run.record());
  run.f.form->setListener(nullptr);
  ASSERT_GT(thief.times, 0);
  EXPECT_EQ(run.events.skipped, std::vector<std::u16string>{places[1].name});
  EXPECT_EQ(run.events.boxesNotRecorded, std::vector<std::u16string>{u"||||||||||||"});
  EXPECT_EQ(run.events.recorded, (std::vector<std::u16string>{places[0].name, places[2].name}));
  EXPECT_EQ(run.f.downloader.requested, (std::vector<std::u16string>{places[0].address, places[2].address}));
  EXPECT_FALSE(std::filesystem::exists(run.dataFile(places[1].name)));
  EXPECT_EQ(run.dataText(places[2].name), u"天气数据文件\r\n" + recordOf(places[2].od0.substr(0, 10), places[2].day));
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  EXPECT_TRUE(contains(run.f.report.messages[0], utf8(places[1].name))) << run.f.report.messages[0];
}

TEST(RecordingRunFailure, TheReportNamesEverySkippedAndFailedPlaceWithItsCause) {
  Recorder run;
  for (const Place& p : threePlaces()) run.add(p);
  const std::vector<Place> places = run.loaded(threePlaces());
  run.f.downloader.pages.erase(places[2].address);  // the last place fails
  OnTurnOf thief(*run.f.form, places[1].name,
                 [&] {
                   std::filesystem::remove(run.f.website(utf8(places[1].name) + ".txt"));
                   run.events.spoilBoxes();  // what the place before left
                 });
  run.f.form->setListener(&thief);

  EXPECT_FALSE(run.record());
  run.f.form->setListener(nullptr);
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  const std::string& message = run.f.report.messages[0];
  EXPECT_TRUE(message.starts_with("以下 2 个地名没有记录：\n")) << message;
  EXPECT_TRUE(contains(test::reportLine(message, utf8(places[1].name)), "跳过：没有目录文件 ")) << message;
  EXPECT_TRUE(contains(test::reportLine(message, utf8(places[2].name)), utf8(places[2].address))) << message;
}

TEST(RecordingRunFailure, APlaceWithAnEmptyNameIsNamedByItsPlaceInTheList) {
  Recorder run;
  // "abcd" is listed as the empty name and read as its catalogue file.
  test::writeGbk(run.f.website("abcd"), u"");
  EXPECT_TRUE(run.f.form->load());
  ASSERT_EQ(run.f.form->List1.entries(), std::vector<std::u16string>{u""});

  EXPECT_FALSE(run.record());
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  EXPECT_TRUE(contains(run.f.report.messages[0], "\n第 1 项（空地名）: ")) << run.f.report.messages[0];
}

// ---------------------------------------------------------------------------
// What a run tells its person: places failing alike on one line, at most
// fifteen lines, pages that stopped updating and hours lost for good.

TEST(RecordingRunFailure, ThreeHundredPlacesFailingAlikeAreOneLine) {
  Recorder run;
  test::writeManyPlaces(run.f, 300);
  run.f.downloader.offline = true;
  ASSERT_TRUE(run.f.form->load());
  EXPECT_FALSE(run.record());
  ASSERT_EQ(run.f.report.messages.size(), 1u);
  const std::string& message = run.f.report.messages[0];
  EXPECT_TRUE(message.starts_with("以下 300 个地名没有记录：\n300 个地名都无法下载：无法解析主机 www.weather.com.cn，"
                                  "网络可能没有连通（地0\n  地1、地10、地100、"))
      << message;
  // Their names wrapped over the fifteen lines, then those left out counted.
  const std::vector<std::string> lines = test::linesOf(message);
  ASSERT_EQ(lines.size(), 18u) << message;
  EXPECT_TRUE(lines[15].ends_with(" 等）") && lines[17].starts_with("另有 ")) << message;
  // The log keeps every place.
  const std::string log = test::readBytes(run.f.folder / "vantoril.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 301) << log.substr(0, 400);
}

TEST(RunReport, GroupsByCauseAndKindAndStopsAfterFifteenLines) {
  using notify::PlaceNote;
  const auto failed = [](std::string place, std::string group) {
    return PlaceNote{PlaceNote::NotRecorded, place, place + ": " + group + " 详情", group};
  };
  std::vector<PlaceNote> seventeen;
  for (int i = 0; i < 17; ++i) seventeen.push_back(failed("地" + std::to_string(i), "原因" + std::to_string(i)));
  // 地15 is named again in a kind below the cut: it is counted once.
  std::vector<PlaceNote> counted = seventeen;
  counted.push_back({PlaceNote::Stale, "地15", "地15: 过时", "页面不再更新"});
  counted.push_back({PlaceNote::Stale, "地0", "地0: 过时", "页面不再更新"});
  // Forty places failing alike, each name eight columns with its "、".
  std::vector<PlaceNote> forty;
  std::string fortyText = "以下 40 个地名没有记录：\n40 个地名都A（", fortyCut = fortyText;
  for (int i = 10; i < 50; ++i) {
    forty.push_back(failed("地名" + std::to_string(i), "A"));
    // The first line holds 14 columns before the names and 7 names; the next, 9 each.
    fortyText += (i == 10 ? "" : i == 17 || i == 26 || i == 35 || i == 44 ? "\n  " : "、") + forty.back().place;
  }
  fortyText += "）";
  fortyCut += "地名10、地名11、地名12、地名13、地名14、地名15、地名16\n  地名17、地名18、地名19、地名20、地名21、"
              "地名22、地名23、地名24、地名25 等）\n\n另有 24 个地名，详见 LOG";
  std::string fifteen = "以下 17 个地名没有记录：";
  for (int i = 0; i < 15; ++i) fifteen += "\n地" + std::to_string(i) + ": 原因" + std::to_string(i) + " 详情";
  struct Case {
    const char* what;
    std::vector<PlaceNote> notes;
    std::string expected;
    std::size_t mostLines = notify::kMostLines;
  };
  const Case cases[] = {
      {"nothing", {}, ""},
      {"one place: its own line", {failed("甲", "无法下载：HTTP 状态 404")}, "以下 1 个地名没有记录：\n甲: 无法下载：HTTP 状态 404 详情"},
      {"two alike",
       {failed("甲", "无法下载：HTTP 状态 404"), failed("乙", "无法下载：HTTP 状态 404")},
       "以下 2 个地名没有记录：\n2 个地名都无法下载：HTTP 状态 404（甲、乙）"},
      {"four alike, one apart, in the order of their first place",
       {failed("甲", "A"), failed("乙", "B"), failed("丙", "A"), failed("丁", "A"), failed("戊", "A")},
       "以下 5 个地名没有记录：\n4 个地名都A（甲、丙、丁、戊）\n乙: B 详情"},
      {"three alike: all named", {failed("甲", "A"), failed("乙", "A"), failed("丙", "A")},
       "以下 3 个地名没有记录：\n3 个地名都A（甲、乙、丙）"},
      {"forty alike: all named, wrapped", forty, fortyText},
      {"forty alike in two lines: the rest counted", forty, fortyCut, 2},
      {"kinds in their order, a blank line apart",
       {{PlaceNote::Stale, "甲", "甲: 过时", "页面不再更新"}, failed("乙", "B"),
        {PlaceNote::Kept, "丙", "丙: 暂存", "暂存"}},
       "以下 1 个地名没有记录：\n乙: B 详情\n\n以下 1 个地名的记录已暂存：\n丙: 暂存\n\n以下 1 个地名的网页已超过 48 "
       "小时没有更新（照常记录，可能需要换网址）：\n甲: 过时"},
      {"seventeen causes", seventeen, fifteen + "\n\n另有 2 个地名，详见 LOG"},
      {"a place left out is counted once, one shown not at all", counted, fifteen + "\n\n另有 2 个地名，详见 LOG"},
  };
  for (const Case& c : cases) EXPECT_EQ(notify::reportText(c.notes, "LOG", c.mostLines), c.expected) << c.what;
}

TEST(RunReport, TheNotificationIsForWhatNeedsThePersonAndCountsThePlacesNotRecorded) {
  using notify::PlaceNote;
  const PlaceNote failed{PlaceNote::NotRecorded, "甲", "甲: x", "无法下载：x"};
  const PlaceNote stale{PlaceNote::Stale, "乙", "乙: 过时", "页面不再更新"};
  const PlaceNote lost{PlaceNote::HoursLost, "丙", "丙: 缺了 3 小时", "缺了记录"};
  const PlaceNote kept{PlaceNote::Kept, "丁", "丁: 暂存", "暂存"};
  struct Case {
    const char* what;
    std::vector<PlaceNote> notes;
    std::string gaveUp;
    std::string title;  // "" for no notification
  };
  const Case cases[] = {
      {"all recorded", {}, "", ""},
      {"a stale page alone", {stale}, "", ""},
      {"a repaired data file alone", {{PlaceNote::Repaired, "庚", "庚: 已移开", "已移开"}, stale}, "", ""},
      {"three not recorded",
       {failed, stale, {PlaceNote::NotRecorded, "戊", "戊: x", "无法下载：x"}, {PlaceNote::NotRecorded, "己", "己: y", "y"}},
       "",
       "Vantoril：定时记录有 3 个地名没有记录"},
      {"hours lost", {lost, stale}, "", "Vantoril：定时记录有 1 个地名缺了记录"},
      {"kept", {kept}, "", "Vantoril：定时记录有 1 个地名的记录已暂存"},
      {"gave up waiting", {}, "另一次记录进行了 30 分钟还没有结束，本次记录放弃", "Vantoril：定时记录没有进行"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto n = notify::runNotification(c.notes, c.gaveUp, "/data/vantoril.log");
    ASSERT_EQ(n.has_value(), !c.title.empty());
    if (!n) continue;
    EXPECT_EQ(n->title, c.title);
    EXPECT_TRUE(contains(n->body, "详见 /data/vantoril.log")) << n->body;
    // What the run gave up for comes first; a stale page is named when
    // there is something else to tell.
    EXPECT_TRUE(n->body.starts_with(c.gaveUp)) << n->body;
    const bool stale = std::any_of(c.notes.begin(), c.notes.end(),
                                   [](const PlaceNote& note) { return note.kind == PlaceNote::Stale; });
    EXPECT_EQ(contains(n->body, "\n乙: 过时"), stale) << n->body;
  }
}

// The site's hour (Beijing time) as the system's clock.
std::chrono::system_clock::time_point siteClock(int year, unsigned month, unsigned day, int hour) {
  using namespace std::chrono;
  return sys_days{std::chrono::year{year} / month / day} + hours{hour - 8};
}

TEST(RunReport, HoursLostAPlaceAboutToLoseHoursAndAStalePageAreToldAndLogged) {
  Recorder run;
  Place p = threePlaces()[0];  // 北京, observed 2016061914
  run.add(p);
  run.loaded({p});
  const auto notesOf = [&] {
    std::vector<std::string> lines;
    for (const notify::PlaceNote& n : run.f.form->lastRunNotes()) lines.push_back(n.line);
    return lines;
  };
  using Lines = std::vector<std::string>;

  run.f.now = siteClock(2016, 6, 19, 15);
  EXPECT_TRUE(run.record());
  EXPECT_EQ(notesOf(), Lines{});

  // 30 hours on: the record holds 25 of them, 5 are gone.
  p.od0 = u"20160620200000";
  run.add(p);
  run.f.now = siteClock(2016, 6, 20, 20);
  EXPECT_TRUE(run.record());
  EXPECT_EQ(notesOf(), Lines{"北京: 上次记录 6月19日 14时 之后缺了 5 小时"});
  EXPECT_TRUE(run.f.report.messages.empty());
  // 25 hours on: nothing lost.
  p.od0 = u"20160621210000";
  run.add(p);
  run.f.now = siteClock(2016, 6, 21, 21);
  EXPECT_TRUE(run.record());
  EXPECT_EQ(notesOf(), Lines{});
  // Records kept while the data file cannot take them: the newest is the pending file's.
  const std::filesystem::path data = test::fsPath(run.dataFile(p.name)), moved = test::fsPath(run.dataFile(u"moved"));
  std::filesystem::rename(data, moved);
  std::filesystem::create_directory(data);
  for (const int hours : {0, 24, 52}) {
    run.f.now = siteClock(2016, 6, 22, 20) + std::chrono::hours(hours);
    p.od0 = hours == 0 ? u"20160622200000" : hours == 24 ? u"20160623200000" : u"20160625000000";
    run.add(p);
    EXPECT_TRUE(run.record());
  }
  const Lines notes = notesOf();
  EXPECT_EQ(std::count(notes.begin(), notes.end(), "北京: 上次记录 6月23日 20时 之后缺了 3 小时"), 1) << notes.size();
  std::filesystem::remove(data);
  std::filesystem::rename(moved, data);
  std::filesystem::remove(test::fsPath(run.f.weatherData("北京-WeatherData.pending")));
  p.od0 = u"20160621210000";
  run.add(p);

  // Failing 20 hours after the newest record: not yet; 21: the next miss loses hours.
  run.f.downloader.offline = true;
  run.f.now = siteClock(2016, 6, 22, 17);
  EXPECT_FALSE(run.record());
  EXPECT_EQ(notesOf().size(), 1u);
  run.f.now = siteClock(2016, 6, 22, 18);
  EXPECT_FALSE(run.record());
  EXPECT_EQ(notesOf(), (Lines{"北京: 下载 " + utf8(p.address) + " 失败：无法解析主机 www.weather.com.cn，网络可能没有连通",
                              "北京: 最新记录 6月21日 21时，已是 21 小时前"}));
  EXPECT_TRUE(contains(run.f.report.messages.back(), "\n\n以下 1 个地名的最新记录已超过 20 小时，再错过一次就会缺记录：\n北京: "))
      << run.f.report.messages.back();

  // A page 49 hours old is recorded, and named stale; 48 hours old is not.
  run.f.downloader.offline = false;
  for (const int hour : {21, 22}) {
    run.f.now = siteClock(2016, 6, 23, hour);
    EXPECT_TRUE(run.record());
  }
  EXPECT_EQ(notesOf(), Lines{"北京: 观测时间 6月21日 21时 已超过 48 小时，页面不再更新"});
  const std::string log = test::readBytes(run.f.folder / "vantoril.log");
  EXPECT_TRUE(contains(log, "\t北京\t2016062121（过时：观测时间 6月21日 21时 已超过 48 小时，页面不再更新）\n")) << log;
  EXPECT_EQ(log.find("过时"), log.rfind("过时")) << log;  // the page 48 hours old is not
}

}  // namespace
}  // namespace vantoril
