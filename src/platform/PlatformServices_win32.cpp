#include "platform/PlatformServices.h"
#include "platform/ShellProcessStarter.h"
#include "platform/WinHttpDownloader.h"

#include <windows.h>

#include <iostream>

namespace vantoril {

std::unique_ptr<Downloader> makeDownloader() { return std::make_unique<WinHttpDownloader>(); }

std::unique_ptr<ProcessStarter> makeProcessStarter() { return std::make_unique<ShellProcessStarter>(); }

// Not exit() or ExitProcess, which run the exit handlers and every DLL's
// detach, and wait for any lock an ended thread held.
void endProcessNow(int exitCode) {
  std::cout.flush();
  std::cerr.flush();
  for (;;) ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exitCode));
}

}  // namespace vantoril
