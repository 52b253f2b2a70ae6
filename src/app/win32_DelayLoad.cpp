// The program loads every system DLL but kernel32 only at the first call
// of one of its functions (cmake/Windows.cmake). Where such a DLL, or a
// function in it, is missing, that call throws a Failure naming both,
// which the operation's boundary reports as any other, rather than the
// structured exception that would end the program.
#include <windows.h>

#include <delayimp.h>

#include <string>

#include "platform/Win32.h"

namespace {

FARPROC WINAPI delayLoadFailed(unsigned notification, PDelayLoadInfo info) {
  const std::string dll = info->szDll ? info->szDll : "?";
  if (notification == dliFailGetProc) {
    const std::string function = info->dlp.fImportByName ? std::string(info->dlp.szProcName)
                                                         : "#" + std::to_string(info->dlp.dwOrdinal);
    vantoril::win32::fail("系统文件 " + dll + " 里没有函数 " + function, info->dwLastError);
  }
  vantoril::win32::fail("无法载入系统文件 " + dll, info->dwLastError);
}

}  // namespace

// Read by the delay-load helper of the C runtime (__delayLoadHelper2).
PfnDliHook __pfnDliFailureHook2 = delayLoadFailed;
