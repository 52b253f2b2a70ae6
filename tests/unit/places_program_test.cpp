// The real program's --check, --add and --find, from a program folder of
// its own, against pages on a loopback server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../support/Fakes.h"
#include "../support/HttpServer.h"
#include "../support/ProgramFolder.h"
#include "../support/SitePages.h"
#include "platform/Cp936.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::HttpServer;
using test::pageWith;
using test::siteTime;
using test::ProgramFolder;

// Stdout's lines as one text, each line ended.
std::string outText(const ProgramFolder::Result& r) {
  std::string text;
  for (const auto& line : r.out) text += line + "\n";
  return text;
}

TEST(CheckMode, SaysPerPlaceWhatIsWrongAndExitsWithZeroOnlyWhenNoPageFailed) {
  HttpServer server;
  const auto page = [](const std::u16string& text) { return HttpServer::Response{200, "text/html; charset=utf-8", toUtf8(text)}; };
  const std::string recent = siteTime(std::chrono::hours(2));
  server.route("/fine", page(pageWith(recent, "哈尔滨")));
  server.route("/other", page(pageWith(recent, "惠州")));
  server.route("/stale", page(pageWith(siteTime(std::chrono::hours(50)), "杭州")));
  server.route("/noblock", page(u"<html><body>维护中</body></html>"));
  ProgramFolder program;
  program.place("哈尔滨", server.url("/fine"));
  program.place("萧山", server.url("/other"));
  const auto good = program.run("--check");
  EXPECT_EQ(good.exitCode, 0) << outText(good) << good.err;
  EXPECT_TRUE(test::contains(outText(good), "哈尔滨\t站名 哈尔滨，观测时间 " + test::personTime(recent) + "\n")) << outText(good);
  EXPECT_TRUE(test::contains(outText(good), "萧山\t警告：站名 惠州")) << outText(good);

  program.place("杭州", server.url("/stale"));
  program.place("广州", server.url("/noblock"));
  program.place("北京", server.url("/missing"));
  // One station twice: the second place is named with the first.
  const std::string fine = server.url("/fine");
  program.place("哈尔滨二", "HTTP" + fine.substr(4));
  const auto bad = program.run("--check");
  EXPECT_EQ(bad.exitCode, 1) << outText(bad) << bad.err;
  EXPECT_TRUE(test::contains(outText(bad), "杭州\t过时：")) << outText(bad);
  EXPECT_TRUE(test::contains(outText(bad), "广州\t错误：")) << outText(bad);
  EXPECT_TRUE(test::contains(outText(bad), "北京\t错误：")) << outText(bad);
  EXPECT_TRUE(test::contains(outText(bad), "404")) << outText(bad);
  EXPECT_TRUE(test::contains(outText(bad), "哈尔滨二\t网址与 “哈尔滨” 相同")) << outText(bad);
  EXPECT_TRUE(test::contains(bad.err, "4 个地名")) << bad.err;
  // Only the places named, in the order named, each once.
  const auto named = program.run("--check 萧山 哈尔滨 萧山");
  EXPECT_EQ(named.exitCode, 0) << outText(named) << named.err;
  ASSERT_EQ(named.out.size(), 2u) << outText(named);
  EXPECT_TRUE(named.out[0].starts_with("萧山\t") && named.out[1].starts_with("哈尔滨\t")) << outText(named);
  EXPECT_EQ(program.run("--check 杭州").exitCode, 1);
  // Nothing recorded.
  EXPECT_FALSE(std::filesystem::exists(test::fsPath(program.folder / "WeatherData")));
}

TEST(AddMode, AddsWhatOnePlaceMatchesBestAndListsTheRest) {
  ProgramFolder program;
  struct Case {
    std::string arguments;
    int exitCode;
    std::string out;  // its first line
  };
  const Case cases[] = {
      {"--add 101210102", 0, "萧山"},
      {"--add xiaoshan", 2, ""},  // 萧山 has its address
      {"--add 朝阳", 2, "101010300\t北京\t北京\t朝阳"},
      {"--add 101210102", 2, ""},
      {"--add 101010300", 0, "北京朝阳"},
      {"--add 999999999", 2, ""},
      {"--add qqqq", 2, ""},
      {"--find 朝阳", 0, "101010300\t北京\t北京\t朝阳"},
      {"--find qqqq", 1, ""},
  };
  for (const Case& c : cases) {
    const auto r = program.run(c.arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments << ": " << outText(r) << r.err;
    EXPECT_EQ(r.out.empty() ? "" : r.out.front(), c.out) << c.arguments;
  }
  EXPECT_EQ(cp936::decode(test::readBytes(program.folder / "WebSite/萧山.txt")),
            u"http://www.weather.com.cn/weather1d/101210102.shtml\r\n");
  EXPECT_FALSE(std::filesystem::exists(test::fsPath(program.folder / "WebSite/杭州萧山.txt")));
  // The refusal names the place that has the address.
  EXPECT_TRUE(test::contains(program.run("--add 101210102").err, "“萧山”"));
}

}  // namespace
}  // namespace vantoril
