#include <windows.h>
#include <shellapi.h>

#include "platform/CommandLine.h"
#include "platform/Failure.h"
#include "platform/ShellProcessStarter.h"
#include "platform/Text.h"
#include "platform/Win32.h"

namespace vantoril {

namespace {

int showCommand(WindowStyle style) { return style == WindowStyle::MinimizedFocus ? SW_SHOWMINIMIZED : SW_SHOWNORMAL; }

// Opens a file, folder or address with the program associated with it, as
// the protocol handler would; but a failure is told, naming what could not
// be opened (the handler itself says nothing, and its process has started).
void openWithShell(const std::u16string& thing, WindowStyle style, const std::string& how) {
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", win32::wide(thing).c_str(), nullptr, nullptr, showCommand(style)));
  if (result > 32) return;
  const std::string what = how + toUtf8(thing);
  switch (result) {
    case SE_ERR_FNF:
    case SE_ERR_PNF:
      // Of a file that is there, what was not found is the program to open it.
      if (::GetFileAttributesW(win32::wide(thing).c_str()) != INVALID_FILE_ATTRIBUTES)
        throw Failure(what + "：找不到打开这类文件的程序");
      throw Failure(what + "：找不到这个文件或文件夹");
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE:
      throw Failure(what + "：系统里没有打开这类文件的程序");
    case SE_ERR_ACCESSDENIED:
      throw Failure(what + "：没有权限");
    default:
      win32::fail(what, ::GetLastError() ? ::GetLastError() : static_cast<DWORD>(result));
  }
}


}  // namespace

void ShellProcessStarter::start(const std::u16string& commandLine, WindowStyle style) {
  const bool browserLine = std::u16string_view(commandLine).starts_with(commandline::kBrowserPath);
  if (browserLine && ::GetFileAttributesW(win32::wide(browserFile_).c_str()) == INVALID_FILE_ATTRIBUTES) {
    const auto addresses = commandline::thingsToOpen(commandLine);
    if (addresses.empty())
      throw Failure("没有要打开的网址：命令行 “" + toUtf8(commandLine) + "” 里只有浏览器");
    for (const auto& address : addresses) openWithShell(address, style, "无法用默认浏览器打开 ");
    return;
  }
  if (std::u16string_view(commandLine).starts_with(commandline::kProtocolHandlerPrefix)) {
    for (const auto& thing : commandline::thingsToOpen(commandLine)) openWithShell(thing, style, "无法打开 ");
    return;
  }
  std::wstring line = win32::wide(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand(style));
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
    win32::fail("无法启动命令行 “" + toUtf8(commandLine) + "”", ::GetLastError());
  // The program never waits for what it started.
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
}

}  // namespace vantoril
