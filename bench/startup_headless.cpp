// The start-up of the program and nothing else: the program folder, the
// window model with services that are never called, the load event (debug
// panel test and list refresh). Prints the number of places listed.
#include <iostream>
#include <string>

#include "app/ConsoleServices.h"
#include "app/Form1.h"
#include "platform/FileSystem.h"

namespace {

using namespace vantoril;

class NoDownload final : public Downloader {
 public:
  std::u16string download(const std::u16string&) override { return {}; }
};

class NoStart final : public ProcessStarter {
 public:
  void start(const std::u16string&, WindowStyle) override {}
};

}  // namespace

int main() {
  NoDownload downloader;
  NoStart starter;
  NoInput input;
  StderrReport report;
  Form1 form(programFolder(), {downloader, starter, input, report, nullptr});
  if (!form.load()) return 1;
  std::cout << form.List1.entryCount() << '\n';
  return 0;
}
