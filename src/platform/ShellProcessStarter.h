#pragma once
// Process start on Windows: the command line as it is, with CreateProcessW;
// except that the protocol handler's line opens its file, folder or address
// through the shell itself, so that a failure is told (Failure, naming it),
// and the browser line, where no Internet Explorer is installed, opens its
// addresses in the default browser instead.
#include <string>
#include <utility>

#include "platform/Services.h"

namespace vantoril {

class ShellProcessStarter final : public ProcessStarter {
 public:
  // `browserFile` is where the browser of the browser line is looked for.
  explicit ShellProcessStarter(std::u16string browserFile = u"C:\\Program Files\\Internet Explorer\\IEXPLORE.exe")
      : browserFile_(std::move(browserFile)) {}
  void start(const std::u16string& commandLine, WindowStyle style) override;

 private:
  std::u16string browserFile_;
};

}  // namespace vantoril
