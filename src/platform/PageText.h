#pragma once
// The rules every downloader shares: which addresses it fetches and how a
// page's bytes become text.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Text.h"

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

// A page as a downloader hands it over. A UTF-8 page (the site's) stays
// bytes, decoded only as far as it is read; a page in any other charset is
// decoded to text whole.
struct Fetched {
  bool utf8 = false;
  std::string bytes;    // a UTF-8 page
  std::u16string text;  // any other
};

// The page by the charset decode() would take.
Fetched receive(std::string bytes, std::string_view contentType);
// A page some downloader has decoded already.
Fetched received(std::u16string text);

// decode()'s text of the page, whole or its first `maxUnits` UTF-16 units
// (0: whole).
std::u16string wholeText(const Fetched& page);
// `read`, when given, gets how far a UTF-8 page was decoded (as fromUtf8
// says; nothing for a page already decoded or decoded whole).
std::u16string leadingText(const Fetched& page, std::size_t maxUnits, Utf8Read* read = nullptr);
// Whether the page's text is empty.
inline bool isEmpty(const Fetched& page) { return page.utf8 ? page.bytes.empty() : page.text.empty(); }

}  // namespace vantoril::page
