#pragma once
// The real downloader and process starter of the platform the program is
// built for (PlatformServices_linux.cpp, PlatformServices_win32.cpp).
#include <memory>

#include "platform/Services.h"

namespace vantoril {

std::unique_ptr<Downloader> makeDownloader();
std::unique_ptr<ProcessStarter> makeProcessStarter();

}  // namespace vantoril
