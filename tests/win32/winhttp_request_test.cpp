// What the WinHTTP downloader sends and how its failures read: the same
// tables, and the same words, as the libcurl downloader's tests on Linux.
#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "platform/WinHttpDownloader.h"
#include "support/PackedPages.h"
#include "support/RequestHeaders.h"
#include "win32/LoopbackServer.h"

namespace vantoril {
namespace {

using test::failureOf;
using test::LoopbackServer;

int portOf(const std::string& url) { return std::stoi(url.substr(url.rfind(':') + 1)); }

TEST(WinHttpRequest, RequestsCarryTheSharedHeadersAlsoAfterARedirectToAnotherPort) {
  LoopbackServer asked, other;
  other.route("/page", {200, "Content-Type: text/html; charset=utf-8\r\n", "arrived"});
  asked.route("/start", {302, "Location: " + other.url("/page") + "\r\n", ""});
  WinHttpDownloader downloader;

  EXPECT_EQ(downloader.download(fromUtf8(asked.url("/start"))), u"arrived");
  const int askedPort = portOf(asked.url("")), otherPort = portOf(other.url(""));
  const std::vector<std::string> first = asked.requestHeads(), second = other.requestHeads();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(test::headersOf(first[0]), test::expectedRequestHeaders(askedPort, askedPort)) << first[0];
  EXPECT_EQ(test::headersOf(second[0]), test::expectedRequestHeaders(otherPort, askedPort)) << second[0];
}

TEST(WinHttpRequest, PackedPagesAreUnpackedWhicheverWayTheyArePacked) {
  LoopbackServer server;
  const std::string text = "<html><body>北京 晴转多云 气温 -3℃</body></html>";
  for (const test::PackedPage& page : test::packedPages(text))
    server.route(page.path,
                 {200, "Content-Type: text/html; charset=utf-8\r\nContent-Encoding: " + page.encoding + "\r\n", page.body});
  WinHttpDownloader downloader;
  for (const test::PackedPage& page : test::packedPages(text))
    EXPECT_EQ(toUtf8(downloader.download(fromUtf8(server.url(page.path)))), text) << page.path;
}

TEST(WinHttpRequest, FollowsAtMostFiveRedirectsWithinTheWeb) {
  LoopbackServer server;
  server.route("/page", {200, "Content-Type: text/html; charset=utf-8\r\n", "arrived"});
  // /r6 -> /r5 -> ... -> /r1 -> /page
  server.route("/r1", {302, "Location: /page\r\n", ""});
  for (int i = 2; i <= 6; ++i)
    server.route("/r" + std::to_string(i), {301, "Location: /r" + std::to_string(i - 1) + "\r\n", ""});
  server.route("/nowhere", {302, "", "moved"});
  server.route("/local", {302, "Location: file:///C:/windows/win.ini\r\n", ""});
  server.route("/relative/start", {302, "Location: ../page\r\n", ""});
  WinHttpDownloader downloader;

  EXPECT_EQ(downloader.download(fromUtf8(server.url("/r5"))), u"arrived");
  EXPECT_EQ(downloader.download(fromUtf8(server.url("/relative/start"))), u"arrived");
  const std::string tooMany = failureOf(downloader, server.url("/r6"));
  EXPECT_NE(tooMany.find(server.url("/r6") + " 失败：重定向超过 5 次"), std::string::npos) << tooMany;
  const std::string nowhere = failureOf(downloader, server.url("/nowhere"));
  EXPECT_NE(nowhere.find(server.url("/nowhere") + " 失败：重定向"), std::string::npos) << nowhere;
  // Never into the local files.
  const std::string local = failureOf(downloader, server.url("/local"));
  EXPECT_NE(local.find(server.url("/local") + " 失败：重定向只能到 http 或 https 网址：file://"), std::string::npos)
      << local;
}

// The secure-connection and certificate errors of WinHTTP read as libcurl's
// do on Linux, never as a bare error number.
TEST(WinHttpRequest, SecureConnectionAndCertificateErrorsSayWhichItIs) {
  const std::string url = "https://example.com/page";
  const std::string certificate = "下载 " + url + " 失败：无法验证网站证书：";
  const std::string connection = "下载 " + url + " 失败：无法建立安全连接：";
  const struct {
    DWORD error, flags;
    std::string start;
  } cases[] = {
      {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, 0, connection},
      {ERROR_WINHTTP_SECURE_FAILURE, 0, certificate},
      {ERROR_WINHTTP_SECURE_FAILURE, WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA, certificate + "证书不是受信任的机构颁发的"},
      {ERROR_WINHTTP_SECURE_FAILURE, WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR, connection},
      {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, 0, certificate + "证书已过期或尚未生效"},
      {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, 0, certificate + "证书上的名称与网站不符"},
      {ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED, 0, connection},
      {ERROR_WINHTTP_SECURE_INVALID_CA, 0, certificate},
  };
  for (const auto& c : cases) {
    const std::string message = WinHttpDownloader::failure(url, c.error, c.flags).what();
    EXPECT_EQ(message.rfind(c.start, 0), 0u) << c.error << ": " << message;
    EXPECT_EQ(message.find("WinHTTP"), std::string::npos) << c.error << ": " << message;
  }
}

// An https server whose certificate nobody signed: openssl s_server, started
// by tests/win32/tls_test.sh, which gives its port. Windows refuses the
// certificate with ERROR_WINHTTP_SECURE_FAILURE and the flag
// WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA; wine 8 completes the handshake,
// refuses the certificate (ERROR_WINHTTP_SECURE_INVALID_CA inside) but
// reports ERROR_WINHTTP_SECURE_CHANNEL_ERROR alone, so there the test can
// only see a secure connection fail, and says it skips.
TEST(WinHttpTls, AnUnverifiableCertificateIsNamedAsOnLinux) {
  const char* port = std::getenv("VANTORIL_TLS_PORT");
  if (port == nullptr) GTEST_SKIP() << "no https server (tests/win32/tls_test.sh starts one)";
  WinHttpDownloader downloader;
  const std::string url = "https://127.0.0.1:" + std::string(port) + "/";
  const std::string message = failureOf(downloader, url);
  if (message == "下载 " + url + " 失败：无法建立安全连接：安全通道出错")
    GTEST_SKIP() << "this WinHTTP reports the refused certificate as a secure channel error (12157): " << message;
  EXPECT_EQ(message.rfind("下载 " + url + " 失败：无法验证网站证书：", 0), 0u) << message;
}

}  // namespace
}  // namespace vantoril
