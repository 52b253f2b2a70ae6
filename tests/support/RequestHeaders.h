#pragma once
// What a request for a page must carry on the wire, whichever downloader
// sends it: the one table the Linux (libcurl) and the Windows (WinHTTP)
// download tests compare with the headers their loopback servers received.
// No other header may be there.
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantoril::test {

// (name in lower case, value), sorted.
using RequestHeaders = std::vector<std::pair<std::string, std::string>>;

// The headers of a request that reached the server on 127.0.0.1:`port`,
// for an address the user gave on 127.0.0.1:`askedPort` (the same port, or
// the one whose redirect led here).
inline RequestHeaders expectedRequestHeaders(int port, int askedPort) {
  RequestHeaders headers = {
      {"host", "127.0.0.1:" + std::to_string(port)},
      {"user-agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64)"},
      {"referer", "http://127.0.0.1:" + std::to_string(askedPort) + "/"},
      {"accept", "*/*"},
      {"accept-encoding", "gzip, deflate"},
      {"connection", "Keep-Alive"},
  };
  std::sort(headers.begin(), headers.end());
  return headers;
}

// The headers of a request head ("GET / HTTP/1.1\r\nName: value\r\n..."),
// in their order.
inline RequestHeaders headerLines(std::string_view head) {
  RequestHeaders headers;
  std::size_t at = head.find("\r\n");
  while (at != std::string_view::npos) {
    const std::size_t start = at + 2;
    at = head.find("\r\n", start);
    const std::string_view line = head.substr(start, at == std::string_view::npos ? at : at - start);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string name(line.substr(0, colon));
    for (char& c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    headers.emplace_back(std::move(name), std::string(value));
  }
  return headers;
}

// The same, sorted, to compare with expectedRequestHeaders.
inline RequestHeaders headersOf(std::string_view head) {
  RequestHeaders headers = headerLines(head);
  std::sort(headers.begin(), headers.end());
  return headers;
}

}  // namespace vantoril::test
