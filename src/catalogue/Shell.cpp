// The shell commands of the window and the command lines they build.
#include "catalogue/Shell.h"

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "datafile/DataFile.h"
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

}  // namespace shell

void Form1::proc1(const std::u16string& path) {
  services_.processStarter.start(shell::openCommand(path), WindowStyle::NormalFocus);
}

void Form1::Command2_Click() {
  services_.processStarter.start(shell::browserCommand(shell::kMakersPage), WindowStyle::MinimizedFocus);
}

void Form1::Command3_Click() { proc1(fileNameText(datafile::folder(programFolder_) + pathSeparator())); }

void Form1::Command8_Click() {
  const std::string path = placeFile(List1.selectedIndex());
  services_.processStarter.start(shell::browserCommand(catalogue::addressText(path)), WindowStyle::MinimizedFocus);
}

}  // namespace vantoril
