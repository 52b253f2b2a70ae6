// Vantoril: records live weather observations for a list of places.
//   vantoril            the window
//   vantoril --record   start-up and one recording run without a window
#include <cstring>
#include <exception>
#include <iostream>

#include "app/Headless.h"
#include "app/qt_Window.h"
#include "platform/FileSystem.h"

int main(int argc, char** argv) {
  try {
    const std::string folder = vantoril::programFolder();
    if (argc == 2 && std::strcmp(argv[1], "--record") == 0) return vantoril::recordHeadless(folder);
    if (argc > 1) {
      std::cerr << "usage: vantoril [--record]\n";
      return 2;
    }
    return vantoril::runWindow(argc, argv, folder);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
