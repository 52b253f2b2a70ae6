#pragma once
#include <windows.h>

#include <string>

namespace vantoril {

// The dialog "定时记录" over the system's scheduler, for the program in
// `programFolder`; returns when it is closed. A system that offers no
// scheduler, or a dialog that cannot be made, throws its Failure.
void showScheduleDialog(HWND owner, const std::string& programFolder);

}  // namespace vantoril
