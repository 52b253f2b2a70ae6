#pragma once
// The rules every downloader shares: which addresses it fetches and how a
// page's bytes become text.
#include <cstddef>
#include <string>
#include <string_view>

namespace vantoril::page {

// The limits every downloader keeps.
struct DownloadOptions {
  long connectTimeoutMs = 15000;
  long totalTimeoutMs = 60000;
  std::size_t maxBytes = 16u << 20;  // a longer page (packed or unpacked) is a failure
  long maxRedirects = 5;
};

// http, https and file addresses, in any letter case.
bool hasFetchableScheme(std::string_view address);

// The page as text: decoded by the charset of its Content-Type header
// (empty when it has none), else of its <meta> tag, else as UTF-8.
std::u16string decode(std::string_view bytes, std::string_view contentType);

}  // namespace vantoril::page
