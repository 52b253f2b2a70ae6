#pragma once
#include <windows.h>

#include <string>

namespace vantoril {

// The dialog "定时记录" over the system's scheduler, for the program in
// `programFolder`; returns when it is closed.
void showScheduleDialog(HWND owner, const std::string& programFolder);

}  // namespace vantoril
