#include "platform/PageRequest.h"

#include "platform/Text.h"

namespace vantoril::page {

std::string refererOf(std::string_view address) {
  const std::size_t separator = address.find("://");
  if (separator == std::string_view::npos) return {};
  std::string_view host = address.substr(separator + 3);
  host = host.substr(0, host.find_first_of("/?#"));
  if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
  if (host.empty()) return {};
  return lowerAscii(address.substr(0, separator)) + "://" + std::string(host) + "/";
}

std::string hostOf(std::string_view address) {
  const std::string site = refererOf(address);
  if (site.empty()) return {};
  std::string_view host = std::string_view(site).substr(site.find("://") + 3);
  host.remove_suffix(1);
  // A port stays out; an IPv6 address keeps its brackets.
  if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos)
    host = host.substr(0, colon);
  return std::string(host);
}

namespace {

DownloadFailure download(std::string_view address, std::string_view outcome, std::string_view cause) {
  std::string message = "下载 ";
  message.append(address).append(" ").append(outcome).append("：").append(cause);
  // A timeout's words name the milliseconds waited, different for each page.
  return DownloadFailure(message, outcome == "超时" ? std::string("下载超时") : std::string(cause));
}

}  // namespace

DownloadFailure unfetchable(std::string_view address) {
  return DownloadFailure("网址 “" + std::string(address) + "” 无法下载：只支持 http、https 和 file 网址",
                         "只支持 http、https 和 file 网址");
}

DownloadFailure failed(std::string_view address, std::string_view cause) { return download(address, "失败", cause); }

TimedOut timedOut(std::string_view address, std::string_view cause) {
  DownloadFailure failure = download(address, "超时", cause);
  return TimedOut(failure.what(), failure.reason());
}

DownloadFailure certificateRefused(std::string_view address, std::string_view cause) {
  return failed(address, "无法验证网站证书：" + std::string(cause));
}

DownloadFailure secureConnectionFailed(std::string_view address, std::string_view cause) {
  return failed(address, "无法建立安全连接：" + std::string(cause));
}

DownloadFailure hostUnresolved(std::string_view address) {
  return failed(address, "无法解析主机 " + hostOf(address) + "，网络可能没有连通");
}

DownloadFailure connectionRefused(std::string_view address, std::string_view cause) {
  DownloadFailure failure = failed(address, cause);
  return DownloadFailure(failure.what(), "无法连接到服务器 " + hostOf(address));
}

DownloadFailure tooLarge(std::string_view address, std::size_t maxBytes) {
  return failed(address, "网页超过 " + std::to_string(maxBytes) + " 字节的上限");
}

DownloadFailure httpStatus(std::string_view address, long status) {
  return failed(address, "HTTP 状态 " + std::to_string(status));
}

DownloadFailure tooManyRedirects(std::string_view address, long maxRedirects) {
  return failed(address, "重定向超过 " + std::to_string(maxRedirects) + " 次或没有目标");
}

DownloadFailure redirectRefused(std::string_view address, std::string_view target) {
  return failed(address, "重定向只能到 http 或 https 网址：" + std::string(target));
}

std::string withAddress(std::string cause, std::string_view address) {
  if (!address.empty() && cause.find(address) == std::string::npos) cause += "（网址 " + std::string(address) + "）";
  return cause;
}

}  // namespace vantoril::page
