// Notifications through the shell: an icon in the notification area with an
// info balloon (shown as a toast by Windows 10 and 11), removed once the
// balloon has gone. A run the Task Scheduler starts has no window of its
// own; the icon's messages come to a message-only window.
#include <windows.h>
#include <shellapi.h>

#include <chrono>
#include <string>

#include "notify/Notifier.h"
#include "platform/Failure.h"
#include "platform/Win32.h"

namespace vantoril::notify {

namespace {

constexpr UINT kIconMessage = WM_APP + 1;
constexpr UINT kIconId = 1;
// The longest the icon stays when the shell says nothing of the balloon.
constexpr std::chrono::seconds kLongestShown{30};
constexpr const wchar_t* kWindowClass = L"VantorilNotification";

// `text` cut to fit `size` characters with its terminating zero, "…" at the cut.
template <std::size_t size>
void copyFitting(wchar_t (&field)[size], std::wstring text) {
  if (text.size() >= size) {
    text.resize(size - 2);
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
    text += L'\u2026';
  }
  text.copy(field, text.size());
  field[text.size()] = L'\0';
}

// The icon's messages, sent or posted: the balloon has gone when it timed
// out, was clicked or closed. The flag is the window's user data.
LRESULT CALLBACK iconWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kIconMessage) {
    const UINT event = LOWORD(lParam);
    if (event == NIN_BALLOONTIMEOUT || event == NIN_BALLOONUSERCLICK || event == NIN_BALLOONHIDE)
      if (auto* gone = reinterpret_cast<bool*>(::GetWindowLongPtrW(window, GWLP_USERDATA))) *gone = true;
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

class TrayNotifier final : public Notifier {
 public:
  void show(const Notification& notification) override {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = iconWindow;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      win32::fail("无法注册窗口类", ::GetLastError());
    const HWND window = ::CreateWindowExW(0, kWindowClass, L"Vantoril", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window) win32::fail("无法创建窗口", ::GetLastError());
    bool gone = false;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&gone));

    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = kIconId;
    data.uFlags = NIF_ICON | NIF_TIP | NIF_INFO | NIF_MESSAGE;
    data.uCallbackMessage = kIconMessage;
    data.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!data.hIcon) data.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_WARNING));
    copyFitting(data.szTip, win32::wide(notification.title));
    copyFitting(data.szInfoTitle, win32::wide(notification.title));
    copyFitting(data.szInfo, win32::wide(notification.body));
    data.dwInfoFlags = NIIF_WARNING;
    if (!::Shell_NotifyIconW(NIM_ADD, &data)) {
      ::DestroyWindow(window);
      throw Failure("通知区域不接受图标（没有运行资源管理器？）");
    }
    // Until the balloon is gone (timed out, clicked, closed), or at most kLongestShown.
    const auto until = std::chrono::steady_clock::now() + kLongestShown;
    while (!gone && std::chrono::steady_clock::now() < until) {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    }
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    ::DestroyWindow(window);
  }
};

}  // namespace

std::unique_ptr<Notifier> makeNotifier() { return std::make_unique<TrayNotifier>(); }

}  // namespace vantoril::notify
