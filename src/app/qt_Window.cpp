#include "app/qt_Window.h"

namespace vantoril {

int runWindow(int, char**, const std::string&) { return 0; }

}  // namespace vantoril
