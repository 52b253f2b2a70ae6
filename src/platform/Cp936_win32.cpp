// The GBK conversions on Windows: code page 936 named explicitly, never the
// ANSI code page, so a program started on another locale writes the same
// files.
#include <algorithm>
#include <string>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/Win32.h"

namespace vantoril::cp936 {

namespace {

constexpr UINT kGbk = 936;
constexpr UINT kGb18030 = 54936;

bool isLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool isTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }
bool isDigit(unsigned char b) { return b >= 0x30 && b <= 0x39; }

// Where the table of Windows differs from the GBK table of Linux (iconv):
// Windows maps the user-defined areas to the Private Use Area and the byte
// FF to U+F8F5. Those count as no character, on both platforms.
bool isPrivateUse(char16_t c) { return c >= 0xE000 && c <= 0xF8FF; }

// The length of the character that starts at `at` by the shape of the code
// page's byte sequences; 0 for a byte that starts none. Of the single bytes
// above 0x7F only 80 (the euro sign) is a character of GBK.
std::size_t unitLength(UINT page, std::string_view b, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(b[at + k]); };
  if (byte(0) < 0x80 || (page == kGbk && byte(0) == 0x80)) return 1;
  if (!isLead(byte(0)) || at + 1 >= b.size()) return 0;
  if (isTrail(byte(1))) return 2;
  if (page == kGb18030 && isDigit(byte(1)) && at + 3 < b.size() && isLead(byte(2)) && isDigit(byte(3))) return 4;
  return 0;
}

// Appends the conversion of `bytes`; false, appending nothing, when Windows
// finds a sequence that is not in the code page.
bool convert(UINT page, std::string_view bytes, std::u16string& out) {
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int n = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  const std::size_t used = out.size();
  out.resize(used + static_cast<std::size_t>(n));
  ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes.data(), size, reinterpret_cast<wchar_t*>(out.data() + used),
                        n);
  if (page == kGbk && std::any_of(out.begin() + static_cast<std::ptrdiff_t>(used), out.end(), isPrivateUse)) {
    out.resize(used);
    return false;
  }
  return true;
}

// Runs of well-shaped characters are converted whole; a run Windows refuses
// is converted character by character. A byte that starts no character, or
// a character Windows refuses, gives U+FFFD and the next byte is looked at
// afresh, as iconv does on Linux.
std::u16string decodePage(UINT page, std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (unitLength(page, bytes, at) == 0) {
      out += u'\uFFFD';
      ++at;
      continue;
    }
    std::size_t end = at;
    for (std::size_t n; end < bytes.size() && (n = unitLength(page, bytes, end)) > 0;) end += n;
    if (convert(page, bytes.substr(at, end - at), out)) {
      at = end;
      continue;
    }
    while (at < end) {
      const std::size_t n = unitLength(page, bytes, at);
      if (n > 0 && convert(page, bytes.substr(at, n), out)) {
        at += n;
      } else {
        out += u'\uFFFD';
        ++at;
      }
    }
  }
  return out;
}

struct NamedPage {
  const char* name;
  UINT page;
};

// Character sets a page may declare besides GBK and UTF-8.
constexpr NamedPage kPages[] = {
    {"big5", 950},         {"shift_jis", 932},     {"euc-jp", 20932},     {"euc-kr", 51949},
    {"iso-8859-1", 28591}, {"latin1", 28591},      {"us-ascii", 20127},   {"windows-1252", 1252},
};

}  // namespace

std::string encode(std::u16string_view text) {
  // A character outside the Basic Multilingual Plane is one "?", as is a
  // lone surrogate and a private-use character: GBK holds none of them.
  std::wstring wide;
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
      wide += L'?';
    } else if (isPrivateUse(c)) {
      wide += L'?';
    } else {
      wide += static_cast<wchar_t>(c);
    }
  }
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, "?", nullptr);
  if (n <= 0) win32::fail("无法把文字转换为 GBK", ::GetLastError());
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), size, out.data(), n, "?", nullptr);
  return out;
}

std::u16string decode(std::string_view bytes) { return decodePage(kGbk, bytes); }

std::u16string decodeGb18030(std::string_view bytes) {
  // Where code page 54936 is missing or refuses the check for invalid bytes
  // (wine), GBK reads all but the four-byte characters the same.
  static const bool gb18030 = [] {
    std::u16string probe;
    return convert(kGb18030, "\xB1\xB1\x81\x30\x81\x30", probe) && probe == u"\u5317\u0080";
  }();
  return decodePage(gb18030 ? kGb18030 : kGbk, bytes);
}

bool decodeOther(std::string_view bytes, const std::string& name, std::u16string& text) {
  for (const auto& [known, page] : kPages) {
    if (name != known) continue;
    text.clear();
    if (!convert(page, bytes, text)) {
      // A page with bytes outside its own character set: Windows' own
      // replacement characters rather than nothing.
      const int n = ::MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
      text.assign(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
      if (n > 0)
        ::MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()),
                              reinterpret_cast<wchar_t*>(text.data()), n);
    }
    return true;
  }
  return false;
}

}  // namespace vantoril::cp936
