#include "platform/Cp936.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::cp936 {

bool isUtf8Charset(std::string_view charset) {
  const std::string name = lowerAscii(charset);
  return name.empty() || name == "utf-8" || name == "utf8";
}

std::u16string decodeCharset(std::string_view bytes, std::string_view charset) {
  const std::string name = lowerAscii(charset);
  if (name == "gbk" || name == "gb2312" || name == "gb18030" || name == "cp936" || name == "x-gbk" ||
      name == "euc-cn")
    return decodeGb18030(bytes);  // a superset of the other two
  std::u16string text;
  if (isUtf8Charset(name) || !decodeOther(bytes, name, text)) return fromUtf8(bytes);
  return text;
}

std::vector<std::u16string> splitLines(std::string_view bytes) {
  // CR and LF never occur inside a GBK double-byte character, so the bytes
  // can be split before they are decoded.
  std::vector<std::u16string> lines;
  forEachLine(bytes, [&](std::string_view line) { lines.push_back(decode(line)); });
  return lines;
}

std::vector<std::u16string> readLines(const std::string& path) { return splitLines(readWholeFile(path)); }

void createWithLine(const std::string& path, std::u16string_view line) {
  std::u16string text(line);
  text += CRLF;
  createNewFile(path, encode(text));
}

}  // namespace vantoril::cp936
