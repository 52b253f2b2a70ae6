#pragma once
// What every request for a page says, where it may be redirected, and how a
// failed one is worded: the rules both downloaders (libcurl on Linux,
// WinHTTP on Windows) take from here, so that the site sees the same
// request and the user reads the same message on either system.
#include <cstddef>
#include <string>
#include <string_view>

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

// The failures, each naming the address.
//   "网址 “<address>” 无法下载：只支持 http、https 和 file 网址"
Failure unfetchable(std::string_view address);
//   "下载 <address> 失败：<cause>"
Failure failed(std::string_view address, std::string_view cause);
//   "下载 <address> 超时：<cause>"; a failure of its own kind, which the
// run's page fetching counts (a site that stops answering).
class TimedOut : public Failure {
 public:
  using Failure::Failure;
};
TimedOut timedOut(std::string_view address, std::string_view cause);
//   "下载 <address> 失败：无法验证网站证书：<cause>"
Failure certificateRefused(std::string_view address, std::string_view cause);
//   "下载 <address> 失败：无法建立安全连接：<cause>"
Failure secureConnectionFailed(std::string_view address, std::string_view cause);
Failure tooLarge(std::string_view address, std::size_t maxBytes);
Failure httpStatus(std::string_view address, long status);
Failure tooManyRedirects(std::string_view address, long maxRedirects);
//   "下载 <address> 失败：重定向只能到 http 或 https 网址：<target>"
Failure redirectRefused(std::string_view address, std::string_view target);

// A place's cause as a run reports it: "<cause>（网址 <address>）" unless
// the cause names the address already (or there is none).
std::string withAddress(std::string cause, std::string_view address);

}  // namespace vantoril::page
