#pragma once
// Process start on a Linux desktop: no shell runs; what a command line
// opens is handed to xdg-open, one call per thing, in order.
#include <string>
#include <utility>

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

}  // namespace vantoril
