// Vantoril: records live weather observations for a list of places. Without
// arguments the window; the other modes: vantoril --help.
#include <dlfcn.h>
#include <malloc.h>
#include <signal.h>

#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "app/CommandLineModes.h"
#include "app/NoDisplay.h"
#include "app/WindowModule.h"
#include "platform/FileSystem.h"

namespace {

// Loads the window module from the program folder and runs the window over
// the data folder. Without a display to show it on, the window's libraries
// are not even loaded; a display that cannot be reached is found by the
// module (Application).
int openWindow(int argc, char** argv, const std::string& folder, const std::function<std::string()>& dataFolder) {
  const char* display = std::getenv("DISPLAY");
  const char* waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  if (!vantoril::displayNamed(display, waylandDisplay, std::getenv("QT_QPA_PLATFORM"))) {
    std::cerr << vantoril::noDisplayText(display, waylandDisplay);
    return 1;
  }
  const std::string path = folder + "/" + vantoril::kWindowModule;
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::string why;
  if (!module) {
    if (const char* error = ::dlerror()) why = error;
    // A copy of the program in another folder finds the module of its
    // build folder, which the program's library search path names.
    module = ::dlopen(vantoril::kWindowModule, RTLD_NOW | RTLD_LOCAL);
  }
  const auto entry = module ? reinterpret_cast<vantoril::WindowEntry>(::dlsym(module, vantoril::kWindowEntry)) : nullptr;
  if (!entry) {
    if (why.empty()) {
      const char* error = ::dlerror();
      why = error ? error : std::string("没有入口 ") + vantoril::kWindowEntry;
    }
    std::cerr << "无法打开窗口：无法加载 " << path << "（" << why << "）\n"
              << "没有窗口也可以记录：vantoril --record\n";
    return 1;
  }
  return entry(argc, argv, dataFolder().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // A run frees each page on the main thread after the download thread
  // allocated it; glibc would hand the freed space of that thread's heap
  // back to the system page by page, each time making every processor
  // flush its address cache. Space up to this much stays for the next page;
  // blocks up to a page's limit come from the heap, not each from a mapping
  // of its own (setting the first fixes the second, which would otherwise
  // grow with the blocks freed).
  ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
  ::mallopt(M_MMAP_THRESHOLD, 16 << 20);
  // A write past the file size limit fails (EFBIG) like one to a full disk,
  // and the file is cut back, instead of the signal ending the program with
  // half a record written. Caught, not ignored: the programs it starts get
  // the usual behaviour back.
  struct sigaction caught {};
  caught.sa_handler = [](int) {};
  ::sigaction(SIGXFSZ, &caught, nullptr);
  try {
    const std::string folder = vantoril::programFolder();
    const auto data = [&] { return vantoril::dataFolder(folder); };
    return vantoril::runCommandLine(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), data,
                                    [&] { return openWindow(argc, argv, folder, data); });
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
