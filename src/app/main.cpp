// Vantoril: records live weather observations for a list of places.
//   vantoril            the window
//   vantoril --record   start-up and one recording run without a window
//   vantoril --chart P  writes the chart page of place P and prints its path
#include <cstring>
#include <exception>
#include <iostream>

#include "app/Headless.h"
#include "app/qt_Window.h"
#include "chart/ChartPage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

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
    return vantoril::runWindow(argc, argv, folder);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
