#include "catalogue/Catalogue.h"

#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"

namespace vantoril::catalogue {

std::string folder(const std::string& programFolder) { return programFolder + pathSeparator() + "WebSite"; }

std::string filePath(const std::string& programFolder, std::u16string_view place) {
  return folder(programFolder) + pathSeparator() + fileNameBytes(place) + ".txt";
}

std::string siblingFilePath(const std::string& file, std::u16string_view place) {
  const std::size_t slash = file.rfind('/');
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

std::u16string address(const std::string& path) {
  std::u16string text;
  for (const auto& line : cp936::readLines(path)) text += line;
  return text;
}

std::u16string addressText(const std::string& path) {
  std::u16string text;
  for (const auto& line : cp936::readLines(path)) {
    text += line;
    text += CRLF;
  }
  return text;
}

}  // namespace vantoril::catalogue
