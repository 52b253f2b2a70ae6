#pragma once
// The dialog "按名称添加地名…" made of the system's controls: a search box
// over the site's place list and the places it finds; Enter or a
// double-click chooses one.
#include <windows.h>

#include <string>

namespace vantoril::win32view {

// The code of the place chosen, or the empty text when the dialog was cancelled.
std::string askPlaceByName(HWND owner);

}  // namespace vantoril::win32view
