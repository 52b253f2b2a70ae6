#include "catalogue/Catalogue.h"

#include <algorithm>

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril::catalogue {

std::string folder(const std::string& programFolder) { return programFolder + pathSeparator() + "WebSite"; }

std::string filePath(const std::string& programFolder, std::u16string_view place) {
  return folder(programFolder) + pathSeparator() + fileNameBytes(place) + ".txt";
}

std::string siblingFilePath(const std::string& file, std::u16string_view place) {
  // The folder ends at the last separator of the paths the program builds
  // ('\\' on Windows, where '/' also separates).
  const char separators[] = {'/', pathSeparator(), '\0'};
  const std::size_t slash = file.find_last_of(separators);
  return file.substr(0, slash == std::string::npos ? 0 : slash + 1) + fileNameBytes(place) + ".txt";
}

std::string strayFilePath(const std::string& programFolder) { return filePath(programFolder, u""); }

bool placeNameOf(std::u16string_view fileName, std::u16string& placeName) {
  if (fileName.size() < 4) return false;
  placeName.assign(fileName.substr(0, fileName.size() - 4));
  return true;
}

void checkNewPlaceName(std::u16string_view name) {
  const std::string shown = "“" + toUtf8(name) + "”";
  if (name == u"." || name == u"..") throw Failure("地名 " + shown + " 不能用作文件名");
  for (const char16_t c : name) {
    if (c < 0x20 || c == 0x7F) throw Failure("地名 " + shown + " 含有控制字符，不能用作文件名");
    if (std::u16string_view(u"/\\<>:\"|?*").find(c) != std::u16string_view::npos) {
      const std::u16string bad(1, c);
      throw Failure("地名 " + shown + " 含有字符 " + toUtf8(bad) + "，不能用作文件名");
    }
  }
}

namespace {

// The lines joined, each followed by `end`.
std::u16string joined(const std::vector<std::u16string>& lines, std::u16string_view end) {
  std::u16string text;
  for (const auto& line : lines) {
    text += line;
    text += end;
  }
  return text;
}

std::optional<std::u16string> joinedIfExists(const std::string& path, std::u16string_view end) {
  const std::optional<std::string> bytes = readFileIfExists(path);
  if (!bytes) return std::nullopt;
  return joined(cp936::splitLines(*bytes), end);
}

}  // namespace

std::u16string addressText(const std::string& path) { return joined(cp936::readLines(path), CRLF); }

std::optional<std::u16string> addressIfExists(const std::string& path) { return joinedIfExists(path, u""); }

std::optional<std::u16string> addressTextIfExists(const std::string& path) { return joinedIfExists(path, CRLF); }

std::string addressKey(std::u16string_view address) {
  std::string key = toUtf8(address);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!key.empty() && blank(key.back())) key.pop_back();
  key.erase(0, std::find_if_not(key.begin(), key.end(), blank) - key.begin());
  const std::size_t scheme = key.find("://");
  if (scheme == std::string::npos) return key;
  const std::size_t pathStart = std::min(key.find('/', scheme + 3), key.size());
  for (std::size_t i = 0; i < pathStart; ++i) key[i] = lowerAscii(key[i]);
  if (key.starts_with("https://")) key.erase(4, 1);
  return key;
}

AddressTaken::AddressTaken(std::u16string_view address, std::u16string_view holder, std::u16string_view place)
    : Failure("网址 " + toUtf8(address) + " 已是地名 “" + toUtf8(holder) + "” 的网址，没有添加 “" + toUtf8(place) +
              "”（一个站点只记一次）") {}

}  // namespace vantoril::catalogue
