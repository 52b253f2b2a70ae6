#pragma once
// Text in code page 936 (GBK), the code page of every file the program
// reads and writes.
#include <string>
#include <string_view>
#include <vector>

namespace vantoril::cp936 {

// UTF-16 to GBK bytes; a character GBK cannot hold becomes "?".
std::string encode(std::u16string_view text);
// GBK bytes to UTF-16; a byte sequence that is not GBK becomes U+FFFD.
std::u16string decode(std::string_view bytes);
// Decodes bytes in a named character set (GBK, GB2312, GB18030, UTF-8, ...).
// Unknown names fall back to UTF-8.
std::u16string decodeCharset(std::string_view bytes, std::string_view charset);
// Whether decodeCharset takes `charset` as UTF-8 by name (no name counts).
bool isUtf8Charset(std::string_view charset);

// The platform's converters behind decodeCharset: GB18030 (a superset of
// GBK and GB2312), and any other character set by its lower-case name;
// false when the platform does not know the name.
std::u16string decodeGb18030(std::string_view bytes);
bool decodeOther(std::string_view bytes, const std::string& name, std::u16string& text);

// The lines of a GBK text file. A line ends at CR, optionally followed by
// LF; the line end is not part of the line; a last line without line end
// is read; an empty file has no lines. Throws Failure when the file cannot
// be read.
std::vector<std::u16string> readLines(const std::string& path);
// The lines of GBK bytes, by the same rule.
std::vector<std::u16string> splitLines(std::string_view bytes);

// Creates the file, which must not exist yet, holding `line` and CR LF.
void createWithLine(const std::string& path, std::u16string_view line);

}  // namespace vantoril::cp936
