#pragma once
// The rules every downloader shares: which addresses it fetches and how a
// page's bytes become text.
#include <string>
#include <string_view>

namespace vantoril::page {

// http, https and file addresses, in any letter case.
bool hasFetchableScheme(std::string_view address);

// The page as text: decoded by the charset of its Content-Type header
// (empty when it has none), else of its <meta> tag, else as UTF-8.
std::u16string decode(std::string_view bytes, std::string_view contentType);

}  // namespace vantoril::page
