#include "platform/CurlDownloader.h"
#include "platform/PlatformServices.h"
#include "platform/XdgProcessStarter.h"

#include <unistd.h>

#include <iostream>

namespace vantoril {

std::unique_ptr<Downloader> makeDownloader() { return std::make_unique<CurlDownloader>(); }

std::unique_ptr<ProcessStarter> makeProcessStarter() { return std::make_unique<XdgProcessStarter>(); }

void endProcessNow(int exitCode) {
  std::cout.flush();
  std::cerr.flush();
  ::_exit(exitCode);
}

}  // namespace vantoril
