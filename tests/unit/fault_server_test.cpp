// A recording run over three places whose middle page comes from a faulty
// server: the report must name that place, the cause and the address, the
// first and third places get their record, the faulty place nothing, and
// the run ends within its time-out.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "../support/Fakes.h"
#include "../support/HttpServer.h"
#include "../support/SampleData.h"
#include "platform/Cp936.h"
#include "platform/CurlDownloader.h"
#include "platform/FileSystem.h"
#include "recording/PagesAhead.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::HttpServer;
using namespace std::chrono_literals;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// Keeps every page the real downloader returns.
class KeepingDownloader final : public Downloader {
 public:
  explicit KeepingDownloader(CurlDownloader::Options options) : curl_(options) {}
  std::vector<std::u16string> pages;
  std::u16string download(const std::u16string& address) override {
    pages.push_back(curl_.download(address));
    return pages.back();
  }

 private:
  CurlDownloader curl_;
};

// Time-outs short enough for tests; every fault must end within them.
constexpr long kConnectMs = 1000, kTotalMs = 2000;
// What a loaded machine may add to the time-out.
constexpr auto kSlack = 4s;

// Three places, in the order the list shows them, each with an earlier
// record; the middle one's address is the faulty one, the others get a good
// page.
class FaultRun : public ::testing::Test {
 protected:
  test::TempFolder folder;
  HttpServer server;
  KeepingDownloader downloader{{kConnectMs, kTotalMs, 16u << 20, 5}};
  test::RecordingStarter starter;
  test::ScriptedInput input;
  test::CollectingReport report;
  Form1 form{folder.path(), {downloader, starter, input, report, nullptr}};
  std::vector<std::u16string> places;
  // The data files before the run.
  std::vector<std::string> before;

  std::string catalogueFile(const std::u16string& place) const { return folder / ("WebSite/" + toUtf8(place) + ".txt"); }
  std::string dataFile(const std::u16string& place) const {
    return folder / ("WeatherData/" + toUtf8(place) + "-WeatherData.xls");
  }

  void SetUp() override {
    server.route("/good", {200, "text/html; charset=utf-8", test::sampleData("hangzhou-2014.html")});
    for (const char16_t* name : {u"杭州甲", u"杭州乙", u"杭州丙"}) test::writeGbk(catalogueFile(name), u"http:\r\n");
    ASSERT_TRUE(form.load());
    places = form.List1.entries();
    ASSERT_EQ(places.size(), 3u);
    // Earlier records, which the run must keep.
    for (const auto& place : places) {
      test::writeGbk(dataFile(place), u"");
      writeWholeFile(dataFile(place), test::sampleData("hangzhou-2014.WeatherData.xls"));
    }
  }

  // Runs the record button with the middle place at `faultyPath` on the
  // server (or at `faultyAddress` when given); returns the reported message
  // ("" when the run succeeded) and checks the time.
  std::string runWith(const std::string& faultyPath, const std::string& faultyAddress = "") {
    const std::string addresses[] = {server.url("/good"), faultyAddress.empty() ? server.url(faultyPath) : faultyAddress,
                                     server.url("/good")};
    for (int i = 0; i < 3; ++i) test::writeGbk(catalogueFile(places[i]), fromUtf8(addresses[i] + "\r\n"));
    for (const auto& place : places) before.push_back(readWholeFile(dataFile(place)));
    const auto start = std::chrono::steady_clock::now();
    const bool ok = form.click(form.Command1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(kTotalMs) + kSlack) << "the run outlasted its time-out";
    EXPECT_EQ(ok, report.messages.empty());
    return ok ? "" : report.messages.back();
  }

  void expectOneRecordMoreEach() {
    for (int i = 0; i < 3; ++i) {
      const std::string after = readWholeFile(dataFile(places[i]));
      EXPECT_EQ(after.substr(0, before[i].size()), before[i]);
      EXPECT_EQ(test::crlfCount(after.substr(before[i].size())), 28u);
    }
  }

  // The report's places not recorded are one, the faulty place (the
  // sections after it name the old records and pages of the sample data);
  // the others got one record more; the faulty one is as it was.
  void expectOnlyTheFaultyPlaceFailed(const std::string& report, const std::string& cause) {
    SCOPED_TRACE(report);
    const std::string message = report.substr(0, report.find("\n\n"));
    const std::string line = test::reportLine(message, toUtf8(places[1]));
    EXPECT_EQ(message.find('\n'), message.rfind('\n')) << "the report names more than one place";
    EXPECT_NE(line.find(cause), std::string::npos) << "the report does not name the cause " << cause;
    EXPECT_NE(line.find("http://127.0.0.1:"), std::string::npos) << "the report does not name the address";

    for (int i : {0, 2}) {
      const std::string after = readWholeFile(dataFile(places[i]));
      ASSERT_EQ(after.substr(0, before[i].size()), before[i]);
      const std::string added = after.substr(before[i].size());
      EXPECT_EQ(added.rfind(cp936::encode(u"数据记录时间:2014061914\r\n整点\t气温\t降水\t湿度\r\n"), 0), 0u);
      EXPECT_TRUE(added.ends_with("\r\n14\t30\t0\t58\r\n\r\n"));  // entry 1, the newest hour, comes last
      EXPECT_EQ(test::crlfCount(added), 28u);
    }
    EXPECT_EQ(readWholeFile(dataFile(places[1])), before[1]);
  }
};

TEST_F(FaultRun, AServerThatNeverAnswersTimesOut) {
  server.neverAnswer("/silent");
  expectOnlyTheFaultyPlaceFailed(runWith("/silent"), "超时");
}

TEST_F(FaultRun, ARefusedConnectionFails) {
  const test::RefusingPort refusing;
  expectOnlyTheFaultyPlaceFailed(runWith("/good", refusing.url("/page")), "Couldn't connect to server");
}

TEST_F(FaultRun, AServerThatDripsOneByteASecondTimesOut) {
  server.drip("/drip", {200, "text/html; charset=utf-8", test::sampleData("hangzhou-2014.html")}, 1s);
  expectOnlyTheFaultyPlaceFailed(runWith("/drip"), "超时");
}

TEST_F(FaultRun, AConnectionClosedAtOnceFails) {
  server.closeAtOnce("/closed");
  expectOnlyTheFaultyPlaceFailed(runWith("/closed"), "Empty reply");
}

TEST_F(FaultRun, AConnectionResetInTheBodyFails) {
  server.resetMidBody("/reset", {200, "text/html; charset=utf-8", test::sampleData("hangzhou-2014.html")});
  const std::string message = runWith("/reset");
  // Which of the two curl sees depends on when the reset arrives.
  expectOnlyTheFaultyPlaceFailed(message, message.find("transfer closed") != std::string::npos
                                             ? "transfer closed with"
                                             : "Connection reset by peer");
}

TEST_F(FaultRun, ARedirectLoopStopsAtTheRedirectLimit) {
  server.redirect("/loop", "/loop");
  expectOnlyTheFaultyPlaceFailed(runWith("/loop"), "重定向超过 5 次");
}

TEST_F(FaultRun, ErrorStatusesFailNamingTheStatus) {
  server.route("/missing", {404, "text/html", "<html>not here</html>"});
  expectOnlyTheFaultyPlaceFailed(runWith("/missing"), "HTTP 状态 404");
}

TEST_F(FaultRun, AServerErrorFailsNamingTheStatus) {
  // Even with the observation block in the body: an error page is no page.
  server.route("/broken", {500, "text/html; charset=utf-8", test::sampleData("hangzhou-2014.html")});
  expectOnlyTheFaultyPlaceFailed(runWith("/broken"), "HTTP 状态 500");
}

TEST_F(FaultRun, A20MegabytePageFailsAtTheSizeLimit) {
  server.route("/huge", {200, "text/html; charset=utf-8", std::string(20u << 20, 'x')});
  expectOnlyTheFaultyPlaceFailed(runWith("/huge"), "字节的上限");
}

TEST_F(FaultRun, ACompressedPageThatExpandsPastTheLimitFails) {
  // 20 MB of text in about 20 KB on the wire: the limit counts what the
  // page expands to.
  const std::string page(20u << 20, 'x');
  std::string packed(compressBound(page.size()), '\0');
  uLongf packedSize = packed.size();
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                      reinterpret_cast<const Bytef*>(page.data()), page.size(), 9),
            Z_OK);
  packed.resize(packedSize);
  server.route("/bomb", {200, "text/html; charset=utf-8", packed, {{"Content-Encoding", "deflate"}}});
  expectOnlyTheFaultyPlaceFailed(runWith("/bomb"), "字节的上限");
}

TEST_F(FaultRun, AnEmptyBodyHasNoObservationBlock) {
  server.route("/empty", {200, "text/html; charset=utf-8", ""});
  expectOnlyTheFaultyPlaceFailed(runWith("/empty"), "observe24h_data");
}

TEST_F(FaultRun, BytesThatAreNotUtf8InAValueFailThePlace) {
  server.route("/invalid", {200, "text/html; charset=utf-8",
                            replaced(test::sampleData("hangzhou-2014.html"), "\"od22\":\"30\"", "\"od22\":\"3\xff\xfe\"")});
  expectOnlyTheFaultyPlaceFailed(runWith("/invalid"), "“气温”第 24 项的值 “3\uFFFD\uFFFD” 不是数字");
}

TEST_F(FaultRun, BytesThatAreNotUtf8OutsideTheValuesAreRecorded) {
  // A GBK page sent as UTF-8: its Chinese text is lost, its numbers are not.
  const std::string page = test::sampleData("hangzhou-2014.html");
  const std::size_t block = page.find("observe24h_data");
  server.route("/mislabelled", {200, "text/html; charset=utf-8",
                                cp936::encode(fromUtf8(page.substr(0, block))) + page.substr(block)});
  EXPECT_EQ(runWith("/mislabelled"), "");
  expectOneRecordMoreEach();
  ASSERT_EQ(downloader.pages.size(), 3u);
  EXPECT_NE(downloader.pages[1].find(u'\uFFFD'), std::u16string::npos);
}

TEST_F(FaultRun, AGbkPageDeclaredInItsMetaTagIsDecodedAndRecorded) {
  const std::string page = replaced(replaced(test::sampleData("hangzhou-2014.html"), "charset=\"utf-8\"", "charset=\"gbk\""),
                                    "charset=UTF-8", "charset=GBK");
  server.route("/gbk", {200, "text/html", cp936::encode(fromUtf8(page))});
  EXPECT_EQ(runWith("/gbk"), "");
  expectOneRecordMoreEach();
  ASSERT_EQ(downloader.pages.size(), 3u);
  EXPECT_EQ(downloader.pages[1], fromUtf8(page));
}

// ------------------------------------------------------- a site that stops answering

TEST(SilentSites, ASiteIsSilentAfterItsFirstPagesOrTwelveInARowTimedOut) {
  // Each page collected in turn: T timed out, A answered (or failed another
  // way), a answered on another site. `silentAt`: the page that makes the
  // site silent, -1 for none.
  const struct {
    std::string pages;
    int silentAt;
  } cases[] = {
      {"TTTTTT", 5},
      {"TTTTT", -1},
      {"TTTTTATTTTT", -1},
      {"TaTaTTaTT", 8},  // another site's pages do not break the row
      {"ATTTTTTTTTTTT", 12},
      {"ATTTTTTTTTTT", -1},
      {"TTTTTATTTTTTTTTTTT", 17},
      {"ATTTTTTTTTTTATTTTTTTTTTT", -1},
  };
  for (const auto& c : cases) {
    SilentSites sites;
    int silentAt = -1;
    for (int i = 0; i < static_cast<int>(c.pages.size()); ++i) {
      if (c.pages[i] == 'a') {
        sites.answered("http://other/");
      } else if (c.pages[i] == 'A') {
        sites.answered("http://site/");
      } else if (sites.timedOut("http://site/")) {
        EXPECT_EQ(silentAt, -1) << c.pages << ": made silent twice";
        silentAt = i;
      }
    }
    EXPECT_EQ(silentAt, c.silentAt) << c.pages;
    EXPECT_EQ(sites.silent("http://site/"), c.silentAt >= 0) << c.pages;
    EXPECT_FALSE(sites.silent("http://other/")) << c.pages;
  }
}

// Places on a loopback site that trickles its pages (never one whole within
// the time limit) and on one that answers, recorded with the real
// downloader, its pages fetched ahead as the program fetches them.
class TricklingSite : public ::testing::Test {
 protected:
  test::TempFolder folder;
  HttpServer trickling, answering;
  CurlDownloader downloader{CurlDownloader::Options{kConnectMs, kTotalMs, 16u << 20, 5}};
  test::RecordingStarter starter;
  test::ScriptedInput input;
  test::CollectingReport report;
  Form1 form{folder.path(), {downloader, starter, input, report, nullptr}};

  // Place "pNN" for each address, in that order.
  void places(const std::vector<std::string>& addresses) {
    for (std::size_t i = 0; i < addresses.size(); ++i) {
      const std::string name = (i < 10 ? "p0" : "p") + std::to_string(i);
      test::writeGbk(folder / ("WebSite/" + name + ".txt"), fromUtf8(addresses[i] + "\r\n"));
    }
    ASSERT_TRUE(form.load());
  }
  std::string trickle(int n) {
    const std::string path = "/trickle" + std::to_string(n);
    trickling.drip(path, {200, "text/html; charset=utf-8", test::sampleData("hangzhou-2014.html")}, 200ms);
    return trickling.url(path);
  }
  // A page that comes, from the answering site or from the trickling one.
  std::string good(HttpServer* site = nullptr) {
    HttpServer& server = site ? *site : answering;
    server.route("/good", {200, "text/html; charset=utf-8", test::sampleData("hangzhou-2014.html")});
    return server.url("/good");
  }
  // The run's report, and how long the run took.
  std::pair<std::string, std::chrono::steady_clock::duration> run() {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = form.click(form.Command1);
    return {ok ? "" : report.messages.back(), std::chrono::steady_clock::now() - start};
  }
  bool recorded(int place) const {
    return fileExists(folder / ("WeatherData/" + toUtf8(form.List1.entries()[place]) + "-WeatherData.xls"));
  }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
};

TEST_F(TricklingSite, ItsOtherPlacesFailAtOnceInOneLineAndTheOtherSiteIsRecorded) {
  constexpr int kPlaces = 48;
  std::vector<std::string> addresses;
  for (int i = 0; i < kPlaces; ++i) addresses.push_back(i == 20 ? good() : trickle(i));
  places(addresses);
  const auto [message, took] = run();
  SCOPED_TRACE(message);
  // Each of the first pages in flight took its whole time (one line for
  // them, as they failed alike); the rest none.
  EXPECT_TRUE(test::contains(message, std::to_string(SilentSites::kFirstPages) + " 个地名都无法下载：下载超时"));
  EXPECT_EQ(count(message, "网站无响应"), 1);
  EXPECT_TRUE(test::contains(message, "网站无响应：" + trickling.url("/") + "，其余 " +
                                          std::to_string(kPlaces - 1 - SilentSites::kFirstPages) + " 个地名本次不记录"));
  EXPECT_TRUE(test::contains(message, "以下 " + std::to_string(kPlaces - 1) + " 个地名没有记录"));
  EXPECT_TRUE(recorded(20));
  EXPECT_FALSE(recorded(0));
  // Never more pages asked of the silent site than those in flight when it fell silent.
  EXPECT_LE(trickling.requestCount(), 2 * SilentSites::kFirstPages);
  EXPECT_LT(took, 2 * std::chrono::milliseconds(kTotalMs) + kSlack);
  EXPECT_EQ(form.lastRun().failed, kPlaces - 1);
}

TEST_F(TricklingSite, SlowPagesAmongAnsweringOnesEachGetTheirWholeTime) {
  std::vector<std::string> addresses;
  for (int i = 0; i < 5; ++i) addresses.push_back(trickle(i));
  for (int i = 5; i < 12; ++i) addresses.push_back(good(&trickling));
  for (int i = 12; i < 14; ++i) addresses.push_back(trickle(i));
  places(addresses);
  const auto [message, took] = run();
  SCOPED_TRACE(message);
  EXPECT_TRUE(test::contains(message, "7 个地名都无法下载：下载超时"));
  EXPECT_FALSE(test::contains(message, "网站无响应"));
  for (int i = 5; i < 12; ++i) EXPECT_TRUE(recorded(i)) << i;
  EXPECT_EQ(trickling.requestCount(), 14);
  EXPECT_GE(took, std::chrono::milliseconds(kTotalMs));
}

}  // namespace
}  // namespace vantoril
