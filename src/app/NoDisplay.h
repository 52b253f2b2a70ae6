#pragma once
// A window needs a display. Without one the program says so in its own
// words and ends with exit code 1, rather than letting the toolkit abort.
#include <string>

namespace vantoril {

// Whether the environment names anything a window could be shown on: an X
// display (DISPLAY), a Wayland one (WAYLAND_DISPLAY), or a platform of Qt's
// chosen by hand (QT_QPA_PLATFORM, such as "offscreen"). Null or empty
// values name nothing.
bool displayNamed(const char* display, const char* waylandDisplay, const char* qtPlatform);

// What the program says when it cannot open its window for want of a
// display: the variables as it found them, and the way on without a window.
std::string noDisplayText(const char* display, const char* waylandDisplay);

}  // namespace vantoril
