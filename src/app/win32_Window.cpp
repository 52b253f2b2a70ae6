#include "app/win32_Window.h"

#include <windows.h>

#include <optional>
#include <thread>

#include "app/BusyRun.h"
#include "app/Form1.h"
#include "app/win32_Dialogs.h"
#include "app/win32_MainWindow.h"
#include "platform/PlatformServices.h"
#include "platform/RunLock.h"

namespace vantoril {

int runWindow(const std::string& programFolder) {
  const auto downloader = makeDownloader();
  const auto processStarter = makeProcessStarter();
  const auto runLock = makeRunLock(programFolder);
  Win32InputBox inputBox;
  Win32MessageBoxReport errorReport;
  BusyRun busy;
  Form1 form(programFolder, {*downloader, *processStarter, inputBox, errorReport, &busy, runLock.get()});
  // The start-up sequence (the catalogue listed) runs on a thread of its
  // own while this one loads the window's DLLs and makes the window: each
  // takes about as long as the other under wine. Its failures are shown
  // here once it is over, and the window then shows the filled list in one
  // go rather than place by place.
  errorReport.hold();
  std::jthread loading([&form] { form.load(); });
  std::optional<Win32MainWindow> made;
  try {
    // Drawn at the system's DPI rather than scaled up blurred.
    ::SetProcessDPIAware();
    made.emplace(form, busy);
  } catch (...) {
    // What the start-up reported still comes, before the window's own failure.
    loading.join();
    errorReport.release();
    throw;
  }
  Win32MainWindow& window = *made;
  loading.join();
  window.followModel();
  errorReport.release();
  inputBox.setOwner(window.hwnd());
  errorReport.setOwner(window.hwnd());
  window.show(SW_SHOWNORMAL);

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (window.shortcut(msg) || window.navigate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace vantoril
