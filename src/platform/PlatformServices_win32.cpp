#include "platform/PlatformServices.h"
#include "platform/ShellProcessStarter.h"
#include "platform/WinHttpDownloader.h"

namespace vantoril {

std::unique_ptr<Downloader> makeDownloader() { return std::make_unique<WinHttpDownloader>(); }

std::unique_ptr<ProcessStarter> makeProcessStarter() { return std::make_unique<ShellProcessStarter>(); }

}  // namespace vantoril
