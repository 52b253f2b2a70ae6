#include "platform/CurlDownloader.h"
#include "platform/PlatformServices.h"
#include "platform/XdgProcessStarter.h"

namespace vantoril {

std::unique_ptr<Downloader> makeDownloader() { return std::make_unique<CurlDownloader>(); }

std::unique_ptr<ProcessStarter> makeProcessStarter() { return std::make_unique<XdgProcessStarter>(); }

}  // namespace vantoril
