#pragma once
// Process start on a Linux desktop: no shell runs; what a command line
// opens is handed to xdg-open, one call per thing, in order. A browser
// command line with no address starts the desktop's web browser on its
// own, on a blank page.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Services.h"

namespace vantoril {

class XdgProcessStarter final : public ProcessStarter {
 public:
  // `opener` is the program that opens a file, folder or address.
  explicit XdgProcessStarter(std::string opener = "xdg-open") : opener_(std::move(opener)) {}
  void start(const std::u16string& commandLine, WindowStyle style) override;

 private:
  std::string opener_;
};

// The program and arguments of the Exec key of a desktop file's [Desktop
// Entry] group, with its field codes (%u, %F, ...) taken out: the program
// with no file or address. Empty when the file has no Exec key.
std::vector<std::string> desktopEntryCommand(std::string_view desktopFile);

}  // namespace vantoril
