// The real program's --record mode, run from a program folder of its own
// against pages on a loopback server; and the downloader's time-out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../support/Fakes.h"
#include "../support/HttpServer.h"
#include "../support/ProgramFolder.h"
#include "../support/SampleData.h"
#include "platform/Cp936.h"
#include "platform/CurlDownloader.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::HttpServer;
using test::TempFolder;

using test::ProgramFolder;

HttpServer::Response htmlOf(const std::string& file) {
  return {200, "text/html; charset=utf-8", test::sampleData(file)};
}

// The place a stdout line is about: the text before its tab.
std::string placeOf(const std::string& line) { return line.substr(0, line.find('\t')); }

TEST(HeadlessRecord, RecordsEveryPlaceAndExitsWithZero) {
  HttpServer server;
  server.route("/weather1d/101210101.shtml", htmlOf("hangzhou-2014.html"));
  server.route("/weather1d/101050101.shtml", htmlOf("harbin-2016.html"));
  server.route("/weather1d/101280101.shtml", htmlOf("../../demo/pages/guangzhou.html"));
  const std::map<std::string, std::string> times = {
      {"杭州", "2014061914"}, {"哈尔滨", "2016030208"}, {"广州", "2020060923"}};
  ProgramFolder program;
  program.place("杭州", server.url("/weather1d/101210101.shtml"));
  program.place("哈尔滨", server.url("/weather1d/101050101.shtml"));
  program.place("广州", server.url("/weather1d/101280101.shtml"));

  const bool rootHadDataFolder = std::filesystem::exists("/WeatherData");
  const auto result = program.record();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  ASSERT_EQ(result.out.size(), 3u);
  std::vector<std::string> seen;
  for (const std::string& line : result.out) {
    const std::string place = placeOf(line);
    ASSERT_EQ(times.count(place), 1u) << line;
    EXPECT_EQ(line, place + "\t" + times.at(place));
    seen.push_back(place);
    const std::string bytes = test::readBytes(program.dataFile(place));
    EXPECT_EQ(test::crlfCount(bytes), 29u) << place;
    EXPECT_TRUE(cp936::decode(bytes).starts_with(u"天气数据文件\r\n数据记录时间:" + fromUtf8(times.at(place)) + u"\r\n"))
        << place;
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
  // The harbin record holds the page's longer values whole.
  const std::u16string harbin = cp936::decode(test::readBytes(program.dataFile("哈尔滨")));
  EXPECT_NE(harbin.find(u"\r\n07\t-10.5\t0.0\t70\r\n"), std::u16string::npos);
  EXPECT_NE(harbin.find(u"\r\n01\t-10\t12.5\t73\r\n"), std::u16string::npos);
  // Nothing was written beside the current folder "/".
  if (!rootHadDataFolder) {
    EXPECT_FALSE(std::filesystem::exists("/WeatherData"));
  }
}

// The list shows 北京, 哈尔滨, 杭州: the dead place is the middle one.
TEST(HeadlessRecord, ADeadPlaceIsReportedThePlacesAfterItAreRecordedAndTheExitCodeSaysSo) {
  HttpServer server;
  server.route("/a.shtml", htmlOf("hangzhou-2014.html"));
  server.route("/c.shtml", htmlOf("harbin-2016.html"));
  test::RefusingPort refusing;
  for (const std::string& dead : {server.url("/missing.shtml"), refusing.url("/b.shtml"), std::string("http:")}) {
    SCOPED_TRACE(dead);
    ProgramFolder program;
    program.place("北京", server.url("/a.shtml"));
    program.place("哈尔滨", dead);
    program.place("杭州", server.url("/c.shtml"));

    const auto result = program.record();
    EXPECT_EQ(result.exitCode, 1);
    ASSERT_EQ(result.out.size(), 3u) << result.err;
    EXPECT_EQ(result.out[0], "北京\t2014061914");
    EXPECT_EQ(result.out[1].rfind("哈尔滨\t错误：", 0), 0u) << result.out[1];
    EXPECT_EQ(result.out[2], "杭州\t2016030208");
    // The report names the dead place only, with its address.
    EXPECT_NE(result.err.find("\n哈尔滨: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(dead), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("杭州"), std::string::npos) << result.err;
    for (const char* recorded : {"北京", "杭州"})
      EXPECT_EQ(test::crlfCount(test::readBytes(program.dataFile(recorded))), 29u) << recorded;
    EXPECT_FALSE(std::filesystem::exists(program.dataFile("哈尔滨")));
  }
}

TEST(HeadlessRecord, AnEmptyCatalogueRecordsNothing) {
  ProgramFolder program;
  const auto result = program.record();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_FALSE(std::filesystem::exists(program.folder / "WeatherData"));
}

TEST(DownloadTimeOut, AServerThatNeverAnswersFails) {
  HttpServer server;
  server.neverAnswer("/slow");
  CurlDownloader::Options options;
  options.connectTimeoutMs = 300;
  options.totalTimeoutMs = 300;
  CurlDownloader downloader(options);
  EXPECT_THROW(downloader.download(fromUtf8(server.url("/slow"))), Failure);
}

}  // namespace
}  // namespace vantoril
