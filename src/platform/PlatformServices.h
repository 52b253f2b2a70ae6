#pragma once
// The real downloader and process starter of the platform the program is
// built for (PlatformServices_linux.cpp, PlatformServices_win32.cpp).
#include <memory>

#include "platform/Services.h"

namespace vantoril {

std::unique_ptr<Downloader> makeDownloader();
std::unique_ptr<ProcessStarter> makeProcessStarter();

// Ends this process at once with `exitCode`, whatever its other threads
// hold: no destructor, no handler of the C runtime or of a DLL runs (the
// files it wrote must be closed already). Standard output and error are
// flushed first.
[[noreturn]] void endProcessNow(int exitCode);

}  // namespace vantoril
