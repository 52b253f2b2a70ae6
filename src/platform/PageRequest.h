#pragma once
// What every request for a page says, where it may be redirected, and how a
// failed one is worded: the rules both downloaders (libcurl on Linux,
// WinHTTP on Windows) take from here, so that the site sees the same
// request and the user reads the same message on either system.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Failure.h"

namespace vantoril::page {

// The request headers besides Host and Referer. The site's firewall lets a
// short browser User-Agent through, and refuses others.
inline constexpr const char* userAgent = "Mozilla/5.0 (Windows NT 10.0; Win64; x64)";
inline constexpr const char* accept = "*/*";
// The downloaders unpack both (deflate with or without its zlib wrapper).
inline constexpr const char* acceptEncoding = "gzip, deflate";
// WinHTTP always says it; libcurl is told to say it too. (HTTP/2 drops it.)
inline constexpr const char* connection = "Keep-Alive";

// "<scheme>://<host>[:<port>]/" of an address, "" when it names no host
// (file://); any user name and password in it stay out. The Referer of
// every request for the address, including the requests after a redirect,
// whichever site the redirect leads to: the page seems to be opened from
// the site the user asked for.
std::string refererOf(std::string_view address);

// Redirects are followed up to DownloadOptions::maxRedirects times, from
// and to http and https only: a server never leads into the local files.
// Past the last one, or at a redirect without a target, the download fails.

// A failed download: the message names the address; `reason` says what
// went wrong without it, the same words for every page that failed alike
// (a run's report puts those places on one line).
class DownloadFailure : public Failure {
 public:
  DownloadFailure(const std::string& message, std::string reason) : Failure(message), reason_(std::move(reason)) {}
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

// The host of an address ("www.weather.com.cn"), "" when it names none.
std::string hostOf(std::string_view address);

// The failures, each naming the address.
//   "网址 “<address>” 无法下载：只支持 http、https 和 file 网址"
DownloadFailure unfetchable(std::string_view address);
//   "下载 <address> 失败：<cause>"
DownloadFailure failed(std::string_view address, std::string_view cause);
//   "下载 <address> 超时：<cause>"; a failure of its own kind, which the
// run's page fetching counts (a site that stops answering).
class TimedOut : public DownloadFailure {
 public:
  using DownloadFailure::DownloadFailure;
};
TimedOut timedOut(std::string_view address, std::string_view cause);
//   "下载 <address> 失败：无法验证网站证书：<cause>"
DownloadFailure certificateRefused(std::string_view address, std::string_view cause);
//   "下载 <address> 失败：无法建立安全连接：<cause>"
DownloadFailure secureConnectionFailed(std::string_view address, std::string_view cause);
DownloadFailure tooLarge(std::string_view address, std::size_t maxBytes);
DownloadFailure httpStatus(std::string_view address, long status);
DownloadFailure tooManyRedirects(std::string_view address, long maxRedirects);
//   "下载 <address> 失败：无法解析主机 <host>，网络可能没有连通"
DownloadFailure hostUnresolved(std::string_view address);
//   "下载 <address> 失败：<cause>", alike for every page of the host:
//   "无法连接到服务器 <host>"
DownloadFailure connectionRefused(std::string_view address, std::string_view cause);
//   "下载 <address> 失败：重定向只能到 http 或 https 网址：<target>"
DownloadFailure redirectRefused(std::string_view address, std::string_view target);

// A place's cause as a run reports it: "<cause>（网址 <address>）" unless
// the cause names the address already (or there is none).
std::string withAddress(std::string cause, std::string_view address);

}  // namespace vantoril::page
