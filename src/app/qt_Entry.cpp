// The entry of the window module, which the program loads when it opens
// its window.
#include "app/WindowModule.h"
#include "app/qt_Window.h"

extern "C" __attribute__((visibility("default"))) int vantoril_run_window(int argc, char** argv,
                                                                        const char* dataFolder) {
  return vantoril::runWindow(argc, argv, dataFolder);
}
