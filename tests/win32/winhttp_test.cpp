// The WinHTTP downloader against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/PageRequest.h"
#include "platform/Text.h"
#include "platform/WinHttpDownloader.h"
#include "support/Fakes.h"
#include "support/PackedPages.h"
#include "win32/LoopbackServer.h"

namespace vantoril {
namespace {

using test::failureOf;
using test::LoopbackServer;

TEST(WinHttp, PagesAreDecodedByHeaderOrMetaAndGzipIsUnpacked) {
  LoopbackServer server;
  const std::string page = "<html><head><title>中国天气</title></head><body>晴 25℃</body></html>";
  const std::string gbkPage = cp936::encode(
      u"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head>北京 晴</html>");
  server.route("/utf8", {200, "Content-Type: text/html; charset=utf-8\r\n", page});
  server.route("/gzip", {200, "Content-Type: text/html; charset=utf-8\r\nContent-Encoding: gzip\r\n", test::deflated(page, 16 + 15)});
  server.route("/gbk", {200, "Content-Type: text/html\r\n", gbkPage});
  server.route("/moved", {301, "Location: /utf8\r\n", ""});
  WinHttpDownloader downloader;
  for (const char* path : {"/utf8", "/gzip", "/moved"}) EXPECT_EQ(downloader.download(fromUtf8(server.url(path))), fromUtf8(page)) << path;
  EXPECT_EQ(downloader.download(fromUtf8(server.url("/gbk"))), cp936::decode(gbkPage));
  // A run collects a UTF-8 page as its bytes, to decode only what it reads;
  // a page in another charset decoded.
  for (const auto& [path, utf8] : {std::pair{"/gzip", true}, std::pair{"/gbk", false}}) {
    const page::Fetched fetched = downloader.collectPage(downloader.fetchAhead(fromUtf8(server.url(path))), {});
    EXPECT_EQ(fetched.utf8, utf8) << path;
    EXPECT_EQ(page::wholeText(fetched), utf8 ? fromUtf8(page) : cp936::decode(gbkPage)) << path;
  }
}

TEST(WinHttp, FailuresNameTheAddressAndTheCause) {
  LoopbackServer server;
  server.route("/slow", {200, "", "", true});
  server.route("/loop", {302, "Location: /loop\r\n", ""});
  server.route("/huge", {200, "Content-Encoding: gzip\r\n", test::deflated(std::string(100000, 'x'), 16 + 15)});
  WinHttpDownloader::Options options;
  options.totalTimeoutMs = 500;
  options.maxBytes = 50000;
  WinHttpDownloader downloader(options);
  const struct {
    std::string url, cause;
  } cases[] = {
      {server.url("/missing"), "HTTP 状态 404"},
      {server.url("/slow"), "超时"},
      {server.url("/huge"), "50000 字节的上限"},
      {server.url("/loop"), "重定向"},
      {"ftp://example.com/a", "只支持 http、https 和 file 网址"},
      {"file:///C:/no/such/page.html", "下载 file:///C:/no/such/page.html 失败"},
  };
  for (const auto& c : cases) {
    const std::string message = failureOf(downloader, c.url);
    EXPECT_NE(message.find(c.url), std::string::npos) << message;
    EXPECT_NE(message.find(c.cause), std::string::npos) << message;
  }
  // The time-out is a failure of its own kind, also fetched ahead (a run
  // counts them); an answer that is no page is not.
  for (const char* path : {"/slow", "/missing"}) {
    bool timedOut = false;
    try {
      downloader.collectPage(downloader.fetchAhead(fromUtf8(server.url(path))), {});
    } catch (const page::TimedOut&) {
      timedOut = true;
    } catch (const Failure&) {
    }
    EXPECT_EQ(timedOut, std::string(path) == "/slow") << path;
  }
  // A page of exactly the limit fits, plain, packed or in a file.
  const std::string limitSized(options.maxBytes, 'x');
  server.route("/fits", {200, "", limitSized});
  server.route("/fits-packed", {200, "Content-Encoding: gzip\r\n", test::deflated(limitSized, 16 + 15)});
  test::TempFolder folder;
  writeWholeFile(folder / "fits.html", limitSized);
  std::string file = "file:///" + (folder / "fits.html");
  std::replace(file.begin(), file.end(), '\\', '/');
  for (const std::string& url : {server.url("/fits"), server.url("/fits-packed"), file})
    EXPECT_EQ(downloader.download(fromUtf8(url)).size(), limitSized.size()) << url;
  writeWholeFile(folder / "fits.html", limitSized + "y");
  EXPECT_NE(failureOf(downloader, file).find("50000 字节的上限"), std::string::npos);
}

TEST(WinHttp, PagesFetchedAheadAreCollectedInAnyOrderOrAbandonedAtMostSixInFlight) {
  LoopbackServer server;
  std::vector<std::string> paths;
  for (int i = 0; i < 10; ++i) {
    paths.push_back("/p" + std::to_string(i));
    server.route(paths.back(), {200, "Content-Type: text/html; charset=utf-8\r\n", "页" + std::to_string(i), false, 100});
  }
  WinHttpDownloader downloader;
  std::vector<Downloader::Ticket> tickets;
  for (const auto& path : paths) tickets.push_back(downloader.fetchAhead(fromUtf8(server.url(path))));
  const auto missing = downloader.fetchAhead(fromUtf8(server.url("/missing")));
  downloader.abandon(tickets[3]);
  for (int i = 9; i >= 0; --i) {
    if (i == 3) continue;
    EXPECT_EQ(downloader.collect(tickets[i], [] {}), fromUtf8("页" + std::to_string(i)));
  }
  EXPECT_THROW(downloader.collect(missing, {}), Failure);
  EXPECT_THROW(downloader.collect(tickets[3], {}), std::logic_error);
  EXPECT_LE(server.peakConnections(), WinHttpDownloader::kMaxInFlight);
  EXPECT_GE(server.peakConnections(), 2);
}

// Closing the window in the middle of a run ends the downloader while a
// page is still awaited: it does not wait for the page (nor its time limit).
TEST(WinHttp, EndingTheDownloaderDoesNotWaitForAPageInFlight) {
  LoopbackServer server;
  LoopbackServer::Response silent;
  silent.neverAnswer = true;  // until the server ends, 10 s at the most
  server.route("/slow", silent);
  auto downloader = std::make_unique<WinHttpDownloader>();
  const auto ticket = downloader->fetchAhead(fromUtf8(server.url("/slow")));
  for (int i = 0; i < 200 && server.requestedPaths().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(server.requestedPaths(), std::vector<std::string>{"/slow"});
  downloader->abandon(ticket);
  downloader.reset();
  // Waiting for the page would have lasted until the server gave up.
  EXPECT_EQ(server.silentConnections(), 1) << "the downloader waited for the page";
}

// A redirect that names no target (WinHTTP follows none, or fails on it as
// wine does), or an answer from 400 on, is no page, whatever its body holds.
TEST(WinHttp, ARedirectWithoutLocationOrA400AnswerFailsNamingTheAddress) {
  LoopbackServer server;
  const std::string body = "<html>observe24h_data od0 weatherChart</html>";
  server.route("/nowhere", {302, "Content-Type: text/html; charset=utf-8\r\n", body});
  server.route("/choices", {300, "Content-Type: text/html; charset=utf-8\r\n", body});
  server.route("/bad", {400, "Content-Type: text/html; charset=utf-8\r\n", body});
  WinHttpDownloader downloader;
  for (const auto& [path, cause] :
       {std::pair{"/nowhere", "没有目标"}, std::pair{"/choices", "没有目标"}, std::pair{"/bad", "HTTP 状态 400"}}) {
    const std::string message = failureOf(downloader, server.url(path));
    EXPECT_NE(message.find("下载 " + server.url(path) + " 失败"), std::string::npos) << message;
    EXPECT_NE(message.find(cause), std::string::npos) << message;
  }
}

TEST(WinHttp, AFileAddressIsReadWithOrWithoutLocalhostItsEscapesUndone) {
  test::TempFolder folder;
  const std::string page = "<html><head><meta charset=\"utf-8\"></head>北京 晴</html>";
  writeWholeFile(folder / "天气 页.html", page);
  std::string path = folder / "天气%20页.html";
  std::replace(path.begin(), path.end(), '\\', '/');
  WinHttpDownloader downloader;
  for (const char* prefix : {"file:///", "file://localhost/", "FILE://localhost/"})
    EXPECT_EQ(downloader.download(fromUtf8(prefix + path)), fromUtf8(page)) << prefix + path;
}

// Six pages keep every connection busy, each ending well after the one
// before; of the pages queued behind them, the one collected first is asked
// for first.
TEST(WinHttp, APageCollectedWhileQueuedIsFetchedBeforeThePagesQueuedAheadOfIt) {
  LoopbackServer server;
  const int pages = WinHttpDownloader::kMaxInFlight + 4;
  for (int i = 0; i < pages; ++i)
    server.route("/q" + std::to_string(i), {200, "Content-Type: text/html; charset=utf-8\r\n",
                                            "页" + std::to_string(i), false,
                                            i < WinHttpDownloader::kMaxInFlight ? 300 * (i + 1) : 0});
  WinHttpDownloader downloader;
  std::vector<Downloader::Ticket> tickets;
  for (int i = 0; i < pages; ++i) tickets.push_back(downloader.fetchAhead(fromUtf8(server.url("/q" + std::to_string(i)))));
  const int wanted = pages - 1;
  EXPECT_EQ(downloader.collect(tickets[wanted], {}), fromUtf8("页" + std::to_string(wanted)));
  for (int i = 0; i < wanted; ++i) EXPECT_EQ(downloader.collect(tickets[i], {}), fromUtf8("页" + std::to_string(i)));
  const std::vector<std::string> order = server.requestedPaths();
  ASSERT_EQ(order.size(), static_cast<std::size_t>(pages));
  const auto at = [&](int i) { return std::find(order.begin(), order.end(), "/q" + std::to_string(i)) - order.begin(); };
  for (int i = WinHttpDownloader::kMaxInFlight; i < wanted; ++i) EXPECT_LT(at(wanted), at(i)) << "/q" << i;
}

}  // namespace
}  // namespace vantoril
