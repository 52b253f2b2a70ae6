#pragma once
// UTF-16 text, the way the window holds it, and its conversions.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace vantoril {

// UTF-8 to UTF-16; a byte sequence that is not UTF-8 becomes U+FFFD.
std::u16string fromUtf8(std::string_view bytes);
// How far a partial decoding went: the first `bytes` bytes, whole
// characters, which give the first `units` units of the text. That may be a
// few units more than were kept: ASCII is decoded eight bytes at a time,
// and a character of two units is decoded whole.
struct Utf8Read {
  std::size_t bytes = 0, units = 0;
};
// The first `maxUnits` units of fromUtf8(bytes), decoding no further.
std::u16string fromUtf8(std::string_view bytes, std::size_t maxUnits, Utf8Read* read = nullptr);
// fromUtf8(bytes).size(), without building the text. An ASCII byte is
// always a character of its own, so the length of the bytes before one is
// its 0-based position in the text.
std::size_t utf16Length(std::string_view bytes);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

// File names are bytes. As text, each byte that is not part of UTF-8
// becomes U+DC80 + byte, and back, so any name found on disk names the same
// file again when it is turned back into a path.
std::u16string fileNameText(std::string_view bytes);
std::string fileNameBytes(std::u16string_view text);

// ASCII letters in lower case, other bytes unchanged (no locale involved).
char lowerAscii(char c);
std::string lowerAscii(std::string_view text);

// A whole number as decimal digits ("-12", "0").
std::u16string decimal(long long n);

// The general number-to-text rule for a count held as a single-precision
// number: plain digits below 10,000,000, else seven significant digits in
// exponent form ("1.234568E+07").
std::u16string countText(long long count);

// A fast search for one text (a marker or key) in longer texts.
class TextSearch {
 public:
  explicit TextSearch(std::u16string_view what);
  // 0-based index of the first occurrence at or after `from`; npos when none.
  std::size_t find(std::u16string_view text, std::size_t from = 0) const;

 private:
  std::u16string what_;
  std::array<std::size_t, 256> shift_;
};

// 1-based position of the first occurrence of `what` in `text`, 0 when absent.
std::size_t findPosition(std::u16string_view text, std::u16string_view what);

inline constexpr std::u16string_view CRLF = u"\r\n";

// Calls `line` with each line of `text`, in order. A line ends at a CR,
// which takes an LF right after it along; a lone LF is part of its line.
// Text after the last CR is a last line; nothing after it is none.
template <class Char, class Line>
void forEachLine(std::basic_string_view<Char> text, Line&& line) {
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t cr = text.find(Char('\r'), start);
    line(text.substr(start, cr == text.npos ? text.npos : cr - start));
    if (cr == text.npos) break;
    start = cr + 1;
    if (start < text.size() && text[start] == Char('\n')) ++start;
  }
}

}  // namespace vantoril
