// The site's place list: search, names, adding a place by its name, and
// checking addresses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/SampleData.h"
#include "../support/SitePages.h"
#include "app/ListMenu.h"
#include "places/AddressCheck.h"
#include "places/PlaceSearch.h"
#include "places/PlaceTable.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using places::MatchRank;
using places::Verdict;
using test::FormFixture;
using test::pageWith;
using test::siteTime;

std::vector<std::string> codesOf(const std::vector<places::Match>& matches) {
  std::vector<std::string> codes;
  for (const auto& m : matches) codes.emplace_back(m.place->code);
  return codes;
}

TEST(PlaceSearch, FindsByChinesePartPinyinPrefixAndCodePrefixBestFirst) {
  struct Case {
    std::string text;
    std::vector<std::string> first;  // the best matches, in order
    MatchRank firstRank;
    std::size_t atLeast;  // matches in all
  };
  const Case cases[] = {
      {"萧山", {"101210102"}, MatchRank::Exact, 1},
      {" 萧山\t", {"101210102"}, MatchRank::Exact, 1},
      // The city's own code first, then its districts (part of the city).
      {"杭州", {"101210101"}, MatchRank::Exact, 8},
      // A province matches every place in it.
      {"浙江", {}, MatchRank::Rest, 60},
      {"xiaos", {"101210102"}, MatchRank::Prefix, 1},
      // A city's own place before the other names that begin alike.
      {"杭", {"101210101"}, MatchRank::SeatPrefix, 10},
      {"hang", {"101210101"}, MatchRank::SeatPrefix, 3},
      {"XiaoShan", {"101210102"}, MatchRank::Exact, 1},
      {"1012101", {"101210101", "101210102"}, MatchRank::Prefix, 8},
      {"101210102", {"101210102"}, MatchRank::Exact, 1},
      // A district of Beijing and a city of Liaoning, both exact, before the
      // districts of the city 朝阳.
      {"朝阳", {"101010300", "101071201"}, MatchRank::Exact, 6},
      {"chaoyang", {"101010300", "101071201"}, MatchRank::Exact, 2},
      // The levels run together, as the list names a place of an ambiguous district.
      {"北京朝阳", {"101010300"}, MatchRank::Exact, 1},
      {"辽宁朝阳", {"101071201"}, MatchRank::Exact, 5},
      {"杭州萧山", {"101210102"}, MatchRank::Rest, 1},
      {"", {}, MatchRank::Rest, 0},
      {"qqqqq", {}, MatchRank::Rest, 0},
      {"xiao2", {}, MatchRank::Rest, 0},
  };
  for (const Case& c : cases) {
    const auto matches = places::search(places::table(), c.text);
    const auto codes = codesOf(matches);
    ASSERT_GE(matches.size(), c.atLeast) << c.text;
    if (c.atLeast == 0) {
      EXPECT_TRUE(matches.empty()) << c.text;
    }
    for (std::size_t i = 0; i < c.first.size(); ++i) {
      ASSERT_LT(i, codes.size()) << c.text;
      EXPECT_EQ(codes[i], c.first[i]) << c.text;
      EXPECT_EQ(matches[i].rank, c.firstRank) << c.text;
    }
    for (std::size_t i = 1; i < matches.size(); ++i)
      EXPECT_LE(matches[i - 1].rank, matches[i].rank) << c.text << " at " << i;
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()).size(), codes.size()) << c.text;
  }
  // Every place of 朝阳 the city follows the two exact ones.
  const auto chaoyang = places::search(places::table(), "朝阳");
  for (std::size_t i = 2; i < chaoyang.size(); ++i) EXPECT_EQ(chaoyang[i].place->city, "朝阳");
  EXPECT_EQ(places::search(places::table(), "1", 5).size(), 5u);
}

TEST(PlaceSearch, TheDialogModelListsAtMostItsShareAndTracksTheChoice) {
  places::PlaceSearch dialog;
  dialog.setText(u"xiaos");
  ASSERT_FALSE(dialog.rows().empty());
  EXPECT_EQ(dialog.rows()[0], u"萧山（杭州，浙江）101210102");
  EXPECT_EQ(dialog.chosen(), 0);
  EXPECT_EQ(dialog.chosenCode(), "101210102");

  dialog.setText(u"1");  // every code starts with 1
  EXPECT_EQ(dialog.rows().size(), places::kShownMatches);
  dialog.move(-3);
  EXPECT_EQ(dialog.chosen(), 0);
  dialog.move(100000);
  EXPECT_EQ(dialog.chosen(), static_cast<int>(places::kShownMatches) - 1);
  dialog.choose(2);
  EXPECT_EQ(dialog.chosenCode(), std::string(places::search(places::table(), "1")[2].place->code));

  dialog.setText(u"没有这个地方");
  EXPECT_TRUE(dialog.rows().empty());
  EXPECT_EQ(dialog.chosen(), -1);
  EXPECT_EQ(dialog.chosenCode(), "");
  dialog.move(1);
  EXPECT_EQ(dialog.chosen(), -1);
}

TEST(PlaceTable, ALineOfAnotherShapeIsSkipped) {
  const auto rows = places::parseTable(
      "code\tprovince\tcity\tdistrict\tpinyin\r\n"
      "101210102\t浙江\t杭州\t萧山\txiaoshan\r\n"
      "10121010x\t浙江\t杭州\t坏\thuai\n"
      "101210103\t浙江\t杭州\n"
      "101210104\t浙江\t杭州\t多\tduo\textra\n"
      "101210105\t浙江\t杭州\t末行\tmohang");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].pinyin, "xiaoshan");
  EXPECT_EQ(rows[1].district, "末行");
}

TEST(PlaceName, ATakenOrAmbiguousDistrictGetsTheLevelAbove) {
  struct Case {
    std::string code;
    std::set<std::u16string> taken;
    std::u16string name;
  };
  const Case cases[] = {
      {"101210102", {}, u"萧山"},
      {"101210102", {u"萧山"}, u"杭州萧山"},
      {"101210101", {u"杭州"}, u"浙江杭州"},  // the city's own code: the province
      {"101010300", {}, u"北京朝阳"},
      {"101071201", {}, u"辽宁朝阳"},
      {"101071203", {u"辽宁朝阳"}, u"凌源"},
  };
  for (const Case& c : cases) {
    const places::Place* place = places::byCode(places::table(), c.code);
    ASSERT_NE(place, nullptr) << c.code;
    EXPECT_EQ(places::placeName(places::table(), *place,
                                [&c](std::u16string_view name) { return c.taken.contains(std::u16string(name)); }),
              c.name)
        << c.code;
  }
}

TEST(AddPlace, WritesTheBytesNewWritesWithThePastedAddressRefreshesAndSelects) {
  const std::u16string address = u"http://www.weather.com.cn/weather1d/101210102.shtml";
  FormFixture byNew;
  byNew.input.answers = {u"萧山", address};
  byNew.form->load();
  ASSERT_TRUE(byNew.form->click(byNew.form->Command6));

  FormFixture fixture;
  test::writeGbk(fixture.website("北京.txt"), u"http://www.weather.com.cn/weather1d/101010100.shtml\r\n");
  Form1& form = *fixture.form;
  form.load();
  EXPECT_EQ(form.addPlace("101210102"), u"萧山");
  EXPECT_EQ(test::readBytes(fixture.website("萧山.txt")), test::readBytes(byNew.website("萧山.txt")));
  EXPECT_EQ(form.List1.entryCount(), 2);
  EXPECT_EQ(form.List1.selectedText(), u"萧山");
  EXPECT_EQ(form.Text15.text(), u"萧山");
  EXPECT_EQ(form.Text14.text(), address + u"\r\n");
  EXPECT_TRUE(fixture.report.messages.empty());
}

TEST(ListMenu, AddsThePlaceChosenByNameAndReportsADialogThatFails) {
  FormFixture fixture;
  Form1& form = *fixture.form;
  form.load();
  const auto failing = [] { throw Failure("无法打开对话框：测试"); };
  chooseCommand(form, Command::AddByName, -1, {[] { return std::string("101210102"); }, failing});
  EXPECT_EQ(form.List1.selectedText(), u"萧山");
  chooseCommand(form, Command::AddByName, -1, {[] { return std::string(); }, failing});
  EXPECT_EQ(form.List1.entryCount(), 1) << "a search left without a choice added a place";
  // Neither dialog's failure leaves the window's event: each is reported.
  fixture.report.messages.clear();
  chooseCommand(form, Command::Schedule, -1, {[]() -> std::string { return {}; }, failing});
  chooseCommand(form, Command::AddByName, -1,
                {[]() -> std::string { throw Failure("无法打开对话框：测试"); }, failing});
  EXPECT_EQ(fixture.report.messages, std::vector<std::string>(2, "无法打开对话框：测试"));
  EXPECT_EQ(form.List1.entryCount(), 1);
}

TEST(AddPlace, ANameTakenGetsItsCityAndNoFileIsEverReplaced) {
  FormFixture fixture;
  Form1& form = *fixture.form;
  test::writeGbk(fixture.website("萧山.txt"), u"mine\r\n");
  form.load();
  EXPECT_EQ(form.addPlace("101210102"), u"杭州萧山");
  EXPECT_EQ(cp936::decode(test::readBytes(fixture.website("萧山.txt"))), u"mine\r\n");
  EXPECT_EQ(form.List1.selectedText(), u"杭州萧山");

  // Both names taken now: refused, nothing written.
  const std::string before = test::readBytes(fixture.website("杭州萧山.txt"));
  EXPECT_THROW(form.addPlace("101210102"), Failure);
  EXPECT_EQ(test::readBytes(fixture.website("杭州萧山.txt")), before);
  EXPECT_EQ(form.List1.entryCount(), 2);
  EXPECT_THROW(form.addPlace("999999999"), Failure);

  // The window's entry reports a refusal and adds nothing.
  EXPECT_FALSE(form.userAddPlace("101210102"));
  ASSERT_EQ(fixture.report.messages.size(), 1u);
  EXPECT_TRUE(test::contains(fixture.report.messages[0], "杭州萧山")) << fixture.report.messages[0];
}

// The collecting report keeps both kinds of message, each with its kind.
struct KindedReport final : ErrorReport {
  std::vector<std::string> reported, informed;
  void report(const std::string& m) override { reported.push_back(m); }
  void inform(const std::string& m) override { informed.push_back(m); }
};

TEST(AddressCheck, JudgesAPageAsARunCutsIt) {
  const auto now = std::chrono::system_clock::now();
  struct Case {
    std::string name;
    std::u16string page;
    std::u16string place;
    Verdict verdict;
    std::string said;  // part of the result's text
  };
  const std::string recent = siteTime(std::chrono::hours(3));
  std::u16string noHumidity = pageWith(recent, "哈尔滨");
  for (std::size_t at; (at = noHumidity.find(u"od27")) != std::u16string::npos;) noHumidity.replace(at, 4, u"oX27");
  const Case cases[] = {
      {"fine", pageWith(recent, "哈尔滨"), u"哈尔滨", Verdict::Fine, "站名 哈尔滨，观测时间 " + test::personTime(recent)},
      {"station inside a longer name", pageWith(recent, "北京_南郊观象台"), u"北京", Verdict::Fine, "北京_南郊观象台"},
      {"place holds the station", pageWith(recent, "朝阳"), u"北京朝阳", Verdict::Fine, "朝阳"},
      {"47 hours", pageWith(siteTime(std::chrono::hours(47)), "哈尔滨"), u"哈尔滨", Verdict::Fine, "站名"},
      {"other station", pageWith(recent, "惠州"), u"萧山", Verdict::OtherStation, "警告：站名 惠州"},
      {"no station", pageWith(recent, ""), u"萧山", Verdict::OtherStation, "od1"},
      {"stale", pageWith(siteTime(std::chrono::hours(49)), "哈尔滨"), u"哈尔滨", Verdict::Stale, "48 小时"},
      {"2014 page", fromUtf8(test::sampleData("hangzhou-2014.html")), u"杭州", Verdict::Stale, "观测时间 2014年6月19日 14时"},
      {"no block", u"<html>没有数据</html>", u"杭州", Verdict::Failed, "错误："},
      {"no humidity", noHumidity, u"哈尔滨", Verdict::Failed, "humidity"},
      {"a year past the clock's nanoseconds", pageWith("2601030208", "哈尔滨"), u"哈尔滨", Verdict::Fine, "观测时间 3月2日 8时"},
      {"time not a time", pageWith("2016xx0208", "哈尔滨"), u"哈尔滨", Verdict::Failed, "2016xx0208"},
  };
  for (const Case& c : cases) {
    const places::CheckResult result = places::judgePage(c.page, c.place, now);
    EXPECT_EQ(result.verdict, c.verdict) << c.name << ": " << places::resultText(result);
    EXPECT_TRUE(test::contains(places::resultText(result), c.said)) << c.name << ": " << places::resultText(result);
  }
}

TEST(AddressCheck, TheWindowEntryReportsOneMessageAndWritesNothing) {
  FormFixture fixture;
  Form1& form = *fixture.form;
  const std::u16string address = u"http://example.invalid/weather1d/101050101.shtml";
  fixture.downloader.pages[address] = pageWith(siteTime(std::chrono::hours(1)), "哈尔滨");
  test::writeGbk(fixture.website("哈尔滨.txt"), address + u"\r\n");
  test::writeGbk(fixture.website("北京.txt"), u"http://example.invalid/gone\r\n");
  form.load();
  ASSERT_EQ(form.List1.entries()[1], u"哈尔滨");

  KindedReport messages;
  Form1 window(fixture.folder.path(), {fixture.downloader, fixture.starter, fixture.input, messages});
  window.load();
  EXPECT_TRUE(window.userCheckAddress(1));
  ASSERT_EQ(messages.informed.size(), 1u);
  EXPECT_TRUE(messages.informed[0].starts_with("哈尔滨：站名 哈尔滨，观测时间 ")) << messages.informed[0];
  EXPECT_FALSE(window.userCheckAddress(0));
  ASSERT_EQ(messages.reported.size(), 1u);
  EXPECT_TRUE(test::contains(messages.reported[0], "北京：错误：")) << messages.reported[0];
  EXPECT_TRUE(test::contains(messages.reported[0], "http://example.invalid/gone")) << messages.reported[0];
  EXPECT_FALSE(std::filesystem::exists(test::fsPath(fixture.weatherData())));
  EXPECT_EQ(window.Text3.text(), u"");
}

TEST(AddressCheck, AnAddressChangedAfterModifyUrlIsCheckedOnceWhenTheWindowIsBack) {
  FormFixture fixture;
  const std::u16string old = u"http://example.invalid/old", fixed = u"http://example.invalid/weather1d/101050101.shtml";
  fixture.downloader.pages[fixed] = pageWith(siteTime(std::chrono::hours(1)), "哈尔滨");
  test::writeGbk(fixture.website("哈尔滨.txt"), old + u"\r\n");
  KindedReport messages;
  // The window comes back while a run or a check holds it (the fake
  // downloader waits once for every page), after `meanwhile`.
  struct BackWhileHeld final : RunObserver {
    Form1* form = nullptr;
    std::function<void()> meanwhile;
    void waiting() override {
      if (!form) return;
      if (meanwhile) meanwhile();
      form->userReturned();
    }
  } back;
  Form1 form(fixture.folder.path(), {fixture.downloader, fixture.starter, fixture.input, messages, &back});
  form.load();
  ASSERT_TRUE(form.userSelect(0));
  EXPECT_TRUE(form.userReturned());  // nothing opened yet
  ASSERT_TRUE(form.click(form.Command4));
  ASSERT_EQ(fixture.starter.calls.size(), 1u);
  EXPECT_TRUE(form.userReturned());  // back unchanged
  EXPECT_TRUE(messages.reported.empty() && messages.informed.empty());
  EXPECT_TRUE(fixture.downloader.requested.empty());

  test::writeGbk(fixture.website("哈尔滨.txt"), fixed + u"\r\n");
  back.form = &form;
  form.click(form.Command1);  // back during the run: no check inside it
  EXPECT_TRUE(messages.reported.empty() && messages.informed.empty());
  EXPECT_EQ(fixture.downloader.requested.size(), 1u);  // the run's own
  // Edited again while its check runs: that edit waits for the next return.
  back.meanwhile = [&] { test::writeGbk(fixture.website("哈尔滨.txt"), old + u"\r\n"); };
  EXPECT_TRUE(form.userReturned());
  back.form = nullptr;
  ASSERT_EQ(messages.informed.size(), 1u);
  EXPECT_TRUE(messages.informed[0].starts_with("哈尔滨：站名 哈尔滨")) << messages.informed[0];
  EXPECT_TRUE(messages.reported.empty());
  EXPECT_EQ(fixture.downloader.requested.size(), 2u);

  // Back again: the second edit, to an address that fails, is reported as a warning.
  form.userReturned();
  ASSERT_EQ(messages.reported.size(), 1u);
  EXPECT_TRUE(test::contains(messages.reported[0], "哈尔滨：错误：")) << messages.reported[0];
  form.userReturned();  // the message box closed: the window is back again
  EXPECT_EQ(fixture.downloader.requested.size(), 3u);
  // A place deleted meanwhile is no longer watched.
  ASSERT_TRUE(form.click(form.Command7));
  form.userReturned();
  EXPECT_EQ(messages.reported.size(), 1u);
  EXPECT_EQ(fixture.downloader.requested.size(), 3u);
}

}  // namespace
}  // namespace vantoril
