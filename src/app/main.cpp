// Vantoril: records live weather observations for a list of places.
//   vantoril            the window
//   vantoril --record   start-up and one recording run without a window
//   vantoril --chart P  writes the chart page of place P and prints its path
#include <dlfcn.h>

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "app/Headless.h"
#include "app/WindowModule.h"
#include "chart/ChartPage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

// Loads the window module from the program folder and runs the window.
int openWindow(int argc, char** argv, const std::string& folder) {
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
  return entry(argc, argv, folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string folder = vantoril::programFolder();
    if (argc == 2 && std::strcmp(argv[1], "--record") == 0) return vantoril::recordHeadless(folder);
    if (argc == 3 && std::strcmp(argv[1], "--chart") == 0) {
      std::cout << vantoril::chart::writePage(folder, vantoril::fileNameText(argv[2])) << '\n';
      return 0;
    }
    if (argc > 1) {
      std::cerr << "usage: vantoril [--record | --chart <place>]\n";
      return 2;
    }
    return openWindow(argc, argv, folder);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
