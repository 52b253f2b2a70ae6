// The shell commands of the window and the command lines they build.
#include "catalogue/Shell.h"

#include <cctype>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "datafile/DataFile.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril {

namespace shell {

std::u16string openCommand(std::u16string_view path) {
  std::u16string line(kProtocolHandlerPrefix);
  line += u'"';
  line += path;
  line += u'"';
  return line;
}

std::u16string browserCommand(std::u16string_view arguments) {
  std::u16string line(kBrowserPath);
  line += u' ';
  line += arguments;
  return line;
}

std::u16string guideAddress(const std::string& programFolder) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address = "file://";
  if (!programFolder.starts_with('/')) address += '/';  // C:/…
  for (const char c : programFolder + "/" + std::string(kGuideFile)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') address += '/';
    else if ((std::isalnum(byte) && byte < 0x80) || std::string_view("-._~/:").find(c) != std::string_view::npos)
      address += c;
    else address += {'%', kHex[byte >> 4], kHex[byte & 15]};
  }
  return fromUtf8(address);
}

}  // namespace shell

void Form1::proc1(const std::u16string& path) {
  services_.processStarter.start(shell::openCommand(path), WindowStyle::NormalFocus);
}

void Form1::Command2_Click() {
  const std::string folder = vantoril::programFolder();
  const std::string guide = folder + pathSeparator() + std::string(shell::kGuideFile);
  if (!fileExists(guide)) throw Failure("找不到使用说明 " + guide + "：请重新安装 Vantoril");
  services_.processStarter.start(shell::browserCommand(shell::guideAddress(folder)), WindowStyle::MinimizedFocus);
}

void Form1::Command3_Click() { proc1(fileNameText(datafile::folder(programFolder_) + pathSeparator())); }

void Form1::Command8_Click() {
  const std::string path = placeFile(List1.selectedIndex());
  services_.processStarter.start(shell::browserCommand(catalogue::addressText(path)), WindowStyle::MinimizedFocus);
}

}  // namespace vantoril
