// Fuzz target: the GBK line reader, on any bytes. A line never holds a CR,
// every CR ends a line, and lines written back as GBK read again the same.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "platform/Cp936.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto lines = cp936::splitLines(bytes);

  std::size_t crs = 0;
  for (char c : bytes) crs += c == '\r';
  // Every CR ends a line; a last line without line end adds one more.
  CHECK(lines.size() == crs || lines.size() == crs + 1);
  if (bytes.empty()) CHECK(lines.empty());

  std::u16string joined;
  for (const auto& line : lines) {
    CHECK(line.find(u'\r') == std::u16string::npos);
    joined += line;
    joined += u"\r\n";
  }
  // Decoded text, encoded again, reads as the same lines: every decoded
  // character is one GBK holds, or U+FFFD for bytes that were not GBK, which
  // is written as "?".
  const auto again = cp936::splitLines(cp936::encode(joined));
  CHECK(again.size() == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::u16string expected = lines[i];
    std::replace(expected.begin(), expected.end(), u'\uFFFD', u'?');
    CHECK(again[i] == expected);
  }
  return 0;
}
