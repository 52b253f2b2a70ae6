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

}  // namespace

void ShellProcessStarter::start(const std::u16string& commandLine, WindowStyle style) {
  const bool browserLine = std::u16string_view(commandLine).starts_with(commandline::kBrowserPath);
  if (browserLine && ::GetFileAttributesW(win32::wide(browserFile_).c_str()) == INVALID_FILE_ATTRIBUTES) {
    const auto addresses = commandline::thingsToOpen(commandLine);
    if (addresses.empty())
      throw Failure("没有要打开的网址：命令行 “" + toUtf8(commandLine) + "” 里只有浏览器");
    for (const auto& address : addresses) {
      const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(
          nullptr, L"open", win32::wide(address).c_str(), nullptr, nullptr, showCommand(style)));
      if (result <= 32) win32::fail("无法用默认浏览器打开 " + toUtf8(address), ::GetLastError());
    }
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
