// CurlDownloader against a loopback server and local files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../support/Fakes.h"
#include "../support/HttpServer.h"
#include "platform/Cp936.h"
#include "platform/CurlDownloader.h"
#include "platform/Failure.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::contains;

using test::HttpServer;

// The message of the Failure that downloading `address` throws.
std::string failureOf(Downloader& downloader, const std::u16string& address) {
  try {
    downloader.download(address);
  } catch (const Failure& failure) {
    return failure.what();
  }
  ADD_FAILURE() << "downloading " << toUtf8(address) << " did not fail";
  return {};
}

std::u16string address(const HttpServer& server, const std::string& path) { return fromUtf8(server.url(path)); }

const std::u16string weatherText = u"北京 晴转多云 气温 -3℃";

TEST(DownloadCharset, DecodesAPageByItsHeaderMetaOrAsUtf8) {
  HttpServer server;
  server.route("/utf8", {200, "text/html; charset=utf-8", toUtf8(weatherText)});
  // The header wins over a meta tag that says otherwise.
  server.route("/gbk-header", {200, "text/html; Charset=\"GBK\"",
                               cp936::encode(u"<head><meta charset=\"utf-8\"></head>" + weatherText)});
  server.route("/gb2312-meta",
               {200, "text/html",
                cp936::encode(u"<html><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
                              u"charset=gb2312\"></HEAD><body>" +
                              weatherText + u"</body></html>")});
  server.route("/gbk-meta-short", {200, "", cp936::encode(u"<meta charset='gbk' />" + weatherText)});
  server.route("/undeclared", {200, "text/html", toUtf8(weatherText)});
  CurlDownloader downloader;

  EXPECT_EQ(downloader.download(address(server, "/utf8")), weatherText);
  EXPECT_EQ(downloader.download(address(server, "/gbk-header")), u"<head><meta charset=\"utf-8\"></head>" + weatherText);
  EXPECT_NE(downloader.download(address(server, "/gb2312-meta")).find(weatherText), std::u16string::npos);
  EXPECT_EQ(downloader.download(address(server, "/gbk-meta-short")), u"<meta charset='gbk' />" + weatherText);
  EXPECT_EQ(downloader.download(address(server, "/undeclared")), weatherText);
}

TEST(DownloadCharset, InvalidUtf8BytesBecomeReplacementCharacters) {
  HttpServer server;
  server.route("/bad", {200, "text/html; charset=UTF-8", "a\xFF" "b\xE5\x8C"});
  CurlDownloader downloader;
  EXPECT_EQ(downloader.download(address(server, "/bad")), u"a\uFFFDb\uFFFD");
}

TEST(DownloadCharset, UsesTheContentTypeOfTheFinalResponse) {
  HttpServer server;
  server.route("/moved", {302, "text/html; charset=gbk", "", {{"Location", "/page"}}});
  server.route("/page", {200, "text/html; charset=utf-8", toUtf8(weatherText)});
  CurlDownloader downloader;
  EXPECT_EQ(downloader.download(address(server, "/moved")), weatherText);
}

TEST(DownloadHttp, ErrorStatusNamesTheStatusAndTheAddress) {
  HttpServer server;
  server.route("/broken", {500, "text/html", "oops"});
  CurlDownloader downloader;

  const std::string missing = failureOf(downloader, address(server, "/missing"));
  EXPECT_TRUE(contains(missing, "HTTP 状态 404")) << missing;
  EXPECT_TRUE(contains(missing, server.url("/missing"))) << missing;
  const std::string broken = failureOf(downloader, address(server, "/broken"));
  EXPECT_TRUE(contains(broken, "HTTP 状态 500")) << broken;
}

TEST(DownloadHttp, FollowsAtMostFiveRedirects) {
  HttpServer server;
  server.route("/page", {200, "text/html; charset=utf-8", "arrived"});
  // /r6 -> /r5 -> ... -> /r1 -> /page
  server.redirect("/r1", "/page");
  for (int i = 2; i <= 6; ++i) server.redirect("/r" + std::to_string(i), "/r" + std::to_string(i - 1), 301);
  CurlDownloader downloader;

  EXPECT_EQ(downloader.download(address(server, "/r5")), u"arrived");
  const std::string tooMany = failureOf(downloader, address(server, "/r6"));
  EXPECT_TRUE(contains(tooMany, server.url("/r6"))) << tooMany;
  EXPECT_TRUE(contains(tooMany, "redirect")) << tooMany;
}

TEST(DownloadHttp, APageOverTheLimitFailsWhetherItsLengthIsKnownOrNot) {
  HttpServer server;
  const std::string limitSized(10000, 'x');
  server.route("/fits", {200, "text/plain", limitSized, {}, true});
  server.route("/announced", {200, "text/plain", limitSized + "y"});
  // Chunked: the length is only found out while reading.
  server.route("/chunked", {200, "text/plain", limitSized + "y", {}, true});
  CurlDownloader::Options options;
  options.maxBytes = limitSized.size();
  CurlDownloader downloader(options);

  EXPECT_EQ(downloader.download(address(server, "/fits")).size(), limitSized.size());
  for (const char* path : {"/announced", "/chunked"}) {
    const std::string message = failureOf(downloader, address(server, path));
    EXPECT_TRUE(contains(message, server.url(path))) << message;
    EXPECT_TRUE(contains(message, "10000 字节")) << message;
  }
  // The handle is still usable after an aborted transfer.
  EXPECT_EQ(downloader.download(address(server, "/fits")).size(), limitSized.size());
}

TEST(DownloadHttp, ReusesOneConnectionForSuccessiveDownloads) {
  HttpServer server;
  server.route("/a", {200, "text/html; charset=utf-8", "first"});
  server.route("/b", {200, "text/html; charset=utf-8", "second"});
  CurlDownloader downloader;

  EXPECT_EQ(downloader.download(address(server, "/a")), u"first");
  EXPECT_EQ(downloader.download(address(server, "/b")), u"second");
  EXPECT_EQ(server.requestCount(), 2);
  EXPECT_EQ(server.connectionCount(), 1);
}

TEST(DownloadHttp, SchemeIsCaseInsensitive) {
  HttpServer server;
  server.route("/a", {200, "text/html; charset=utf-8", "page"});
  CurlDownloader downloader;
  EXPECT_EQ(downloader.download(fromUtf8("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/a")), u"page");
}

TEST(DownloadHttp, AServerThatNeverAnswersTimesOut) {
  HttpServer server;
  server.neverAnswer("/silent");
  CurlDownloader::Options options;
  options.totalTimeoutMs = 300;
  CurlDownloader downloader(options);

  const std::string message = failureOf(downloader, address(server, "/silent"));
  EXPECT_TRUE(contains(message, "超时")) << message;
  EXPECT_TRUE(contains(message, server.url("/silent"))) << message;
}

TEST(DownloadAddress, OnlyHttpHttpsAndFileAddressesAreFetched) {
  CurlDownloader downloader;
  for (const char* bad : {"http:", "ftp://x", "", "www.weather.com.cn/x.shtml", "httpx://a"}) {
    const std::string message = failureOf(downloader, fromUtf8(bad));
    EXPECT_TRUE(contains(message, std::string("“") + bad + "”")) << message;
    EXPECT_TRUE(contains(message, "只支持 http、https 和 file")) << message;
  }
}

TEST(DownloadAddress, ReadsAFileAddressByItsMetaCharset) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vantoril-download-" + std::to_string(::getpid()) + ".html");
  const std::u16string page = u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" + weatherText;
  {
    std::ofstream out(file, std::ios::binary);
    out << cp936::encode(page);
  }
  CurlDownloader downloader;
  const std::u16string text = downloader.download(fromUtf8("file://" + file.string()));
  std::filesystem::remove(file);
  EXPECT_EQ(text, page);

  const std::string missing = failureOf(downloader, fromUtf8("file://" + file.string()));
  EXPECT_TRUE(contains(missing, file.string())) << missing;
}

TEST(DownloadAddress, AServerCannotRedirectIntoLocalFiles) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vantoril-redirect-" + std::to_string(::getpid()) + ".html");
  std::ofstream(file, std::ios::binary) << "local";
  HttpServer server;
  server.redirect("/local", "file://" + file.string());
  CurlDownloader downloader;
  const std::string message = failureOf(downloader, address(server, "/local"));
  std::filesystem::remove(file);
  EXPECT_TRUE(contains(message, server.url("/local"))) << message;
}

}  // namespace
}  // namespace vantoril
