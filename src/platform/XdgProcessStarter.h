#pragma once
// Process start on a Linux desktop: no shell runs; what a command line
// opens is handed to xdg-open, one call per thing, in order. A browser
// command line with no address starts the desktop's web browser on its
// own, on a blank page.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Services.h"

namespace vantoril {

// A file or folder goes to the opener as a file:// address (fileAddress),
// so that what it opens does not depend on the locale's character set; an
// opener that ends with an exit status other than 0 is a late failure,
// naming the path.
class XdgProcessStarter final : public ProcessStarter {
 public:
  // `opener` is the program that opens a file, folder or address.
  explicit XdgProcessStarter(std::string opener = "xdg-open") : opener_(std::move(opener)) {}
  ~XdgProcessStarter() override { tellLateFailures(nullptr); }
  XdgProcessStarter(const XdgProcessStarter&) = delete;
  XdgProcessStarter& operator=(const XdgProcessStarter&) = delete;
  void start(const std::u16string& commandLine, WindowStyle style) override;
  void tellLateFailures(std::function<void(const std::string& message)> failed) override;

  // Who hears of late failures; shared with the threads that wait for the
  // openers, which may outlive the starter.
  struct Listener {
    std::mutex mutex;
    std::function<void(const std::string&)> failed;
  };

 private:
  std::string opener_;
  std::shared_ptr<Listener> listener_ = std::make_shared<Listener>();
};

// "file://" and the absolute path `path` (UTF-8 bytes), every byte but
// letters, digits, "-._~" and "/" written as %XX.
std::string fileAddress(std::string_view path);

// The program and arguments of the Exec key of a desktop file's [Desktop
// Entry] group, with its field codes (%u, %F, ...) taken out: the program
// with no file or address. Empty when the file has no Exec key.
std::vector<std::string> desktopEntryCommand(std::string_view desktopFile);

}  // namespace vantoril
