// The real program's --check, --add and --find, from a program folder of
// its own, against pages on a loopback server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../support/Fakes.h"
#include "../support/HttpServer.h"
#include "../support/SitePages.h"
#include "platform/Cp936.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::HttpServer;
using test::pageWith;
using test::siteTime;
using test::TempFolder;

// The real program in a program folder of its own, run from "/".
struct ProgramFolder {
  TempFolder folder;
  std::string program = folder / "vantoril";
  ProgramFolder() {
    std::filesystem::copy_file(VANTORIL_PROGRAM, program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  }
  void place(const std::string& name, const std::string& address) {
    test::writeGbk(folder / ("WebSite/" + name + ".txt"), fromUtf8(address + "\r\n"));
  }
  struct Result {
    int exitCode = -1;
    std::string out, err;
  };
  Result run(const std::string& arguments) const {
    const std::string command = "cd / && '" + program + "' " + arguments + " >'" + (folder / "out.txt") + "' 2>'" +
                                (folder / "err.txt") + "' </dev/null";
    const int status = std::system(command.c_str());
    Result r;
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    r.out = test::readBytes(folder / "out.txt");
    r.err = test::readBytes(folder / "err.txt");
    return r;
  }
};

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
  EXPECT_EQ(good.exitCode, 0) << good.out << good.err;
  EXPECT_TRUE(test::contains(good.out, "哈尔滨\t站名 哈尔滨，观测时间 " + recent.substr(0, 10) + "\n")) << good.out;
  EXPECT_TRUE(test::contains(good.out, "萧山\t警告：站名 惠州")) << good.out;

  program.place("杭州", server.url("/stale"));
  program.place("广州", server.url("/noblock"));
  program.place("北京", server.url("/missing"));
  const auto bad = program.run("--check");
  EXPECT_EQ(bad.exitCode, 1) << bad.out << bad.err;
  EXPECT_TRUE(test::contains(bad.out, "杭州\t过时：")) << bad.out;
  EXPECT_TRUE(test::contains(bad.out, "广州\t错误：")) << bad.out;
  EXPECT_TRUE(test::contains(bad.out, "北京\t错误：")) << bad.out;
  EXPECT_TRUE(test::contains(bad.out, "404")) << bad.out;
  EXPECT_TRUE(test::contains(bad.err, "3 个地名")) << bad.err;
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
      {"--add xiaoshan", 0, "杭州萧山"},
      {"--add 朝阳", 2, "101010300\t北京\t北京\t朝阳"},
      {"--add 101210102", 1, ""},  // 萧山 and 杭州萧山 are taken
      {"--add qqqq", 2, ""},
      {"--find 朝阳", 0, "101010300\t北京\t北京\t朝阳"},
      {"--find qqqq", 1, ""},
  };
  for (const Case& c : cases) {
    const auto r = program.run(c.arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments << ": " << r.out << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), c.out) << c.arguments;
  }
  EXPECT_EQ(cp936::decode(test::readBytes(program.folder / "WebSite/杭州萧山.txt")),
            u"http://www.weather.com.cn/weather1d/101210102.shtml\r\n");
}

}  // namespace
}  // namespace vantoril
