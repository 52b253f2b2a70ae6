#include "app/win32_MainWindow.h"

#include <algorithm>

#include "app/ControlTable.h"
#include "app/Form1.h"
#include "app/MenuBar.h"
#include "app/ViewDesign.h"
#include "app/win32_Controls.h"
#include "app/win32_Dialogs.h"
#include "app/win32_PlaceSearchDialog.h"
#include "app/win32_ScheduleDialog.h"
#include "catalogue/Catalogue.h"
#include "platform/Win32.h"

namespace vantoril {

namespace {

// Posted when the window is active again, handled once the activation is over.
constexpr UINT kReturnedMessage = WM_APP + 1;
// Posted by the watching thread once the place folder changed and was quiet
// for a moment.
constexpr UINT kFolderChangedMessage = WM_APP + 2;
constexpr DWORD kQuietMs = 200;
constexpr DWORD kRetryMs = 2000;  // a folder that could not be watched is tried again

constexpr wchar_t kClassName[] = L"VantorilForm1";
constexpr int kFirstId = 100;  // below it IDOK and IDCANCEL
constexpr int kFirstCommandId = 1000;  // the menu bar's: kFirstCommandId + Command, above the controls'
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;  // fixed size

HICON appIcon(int size) {
  return static_cast<HICON>(
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void registerClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ::DefWindowProcW;  // replaced per window once it exists
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hIcon = appIcon(::GetSystemMetrics(SM_CXICON));
  wc.hIconSm = appIcon(::GetSystemMetrics(SM_CXSMICON));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc)) win32::fail("无法注册窗口类", ::GetLastError());
  registered = true;
}

bool isUserInput(const MSG& msg) {
  if (msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4) return false;  // Alt+F4 asks to close
  return (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
         (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST);
}

// Where the system put it, but inside the work area of its monitor: a
// window larger than the work area (a small screen at 200 %) goes to the
// work area's top left corner, so that its title bar stays on screen.
void keepOnScreen(HWND hwnd) {
  RECT r{};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetWindowRect(hwnd, &r) || !::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor))
    return;
  const RECT& work = monitor.rcWork;
  const LONG x = std::max(work.left, std::min(r.left, work.right - (r.right - r.left)));
  const LONG y = std::max(work.top, std::min(r.top, work.bottom - (r.bottom - r.top)));
  if (x != r.left || y != r.top) ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring wideText(std::u16string_view text) { return win32::wide(text); }

// The menu bar of kMenuBar, each entry's shortcut after a tab.
HMENU createMenuBar() {
  HMENU bar = ::CreateMenu();
  if (!bar) win32::fail("无法创建菜单", ::GetLastError());
  std::vector<HMENU> menus;
  for (const std::u16string_view title : kMenuTitles) {
    menus.push_back(::CreatePopupMenu());
    ::AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menus.back()), wideText(title).c_str());
  }
  for (const MenuBarEntry& entry : kMenuBar) {
    std::u16string text(entry.text);
    if (!entry.shortcut.empty()) text += u'\t' + std::u16string(entry.shortcut);
    ::AppendMenuW(menus[static_cast<std::size_t>(entry.menu)], MF_STRING,
                  static_cast<UINT_PTR>(kFirstCommandId + static_cast<int>(entry.command)), wideText(text).c_str());
  }
  return bar;
}

// The shortcuts of kMenuBar as an accelerator table.
HACCEL createShortcuts() {
  std::vector<ACCEL> keys;
  for (const MenuBarEntry& entry : kMenuBar) {
    const auto shortcut = parseShortcut(entry.shortcut);
    if (!shortcut) continue;
    ACCEL key{};
    key.fVirt = static_cast<BYTE>(FVIRTKEY | (shortcut->ctrl ? FCONTROL : 0) | (shortcut->shift ? FSHIFT : 0));
    if (shortcut->key == kDeleteKey) key.key = VK_DELETE;
    else if (shortcut->key >= kFunctionKey1) key.key = static_cast<WORD>(VK_F1 + (shortcut->key - kFunctionKey1));
    else key.key = shortcut->key;  // a letter's virtual key is the letter
    key.cmd = static_cast<WORD>(kFirstCommandId + static_cast<int>(entry.command));
    keys.push_back(key);
  }
  return ::CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

}  // namespace

Win32MainWindow::Win32MainWindow(Form1& form, BusyRun& busy) : form_(form), busy_(busy) {
  registerClass();
  dpi_ = win32view::systemDpi();

  // The client area keeps the design's size: the menu bar is above it.
  const PixelRect client = clientRect(dpi_);
  RECT frame{0, 0, client.width, client.height};
  ::AdjustWindowRectEx(&frame, kStyle, TRUE, 0);
  const std::wstring caption = win32::wide(kWindowCaption);
  HMENU menuBar = createMenuBar();
  hwnd_ = ::CreateWindowExW(0, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, menuBar,
                            ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) {
    ::DestroyMenu(menuBar);
    win32::fail("无法创建窗口", ::GetLastError());
  }
  shortcuts_ = createShortcuts();
  keepOnScreen(hwnd_);
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32MainWindow::windowProc));
  createControls();
}

void Win32MainWindow::followModel() {
  for (const auto& view : views_) view->mirror();
  form_.setListener(this);
  busy_.setWindow(this);
  following_ = true;
}

// The place folder, and what is below it, is watched while the window is
// open, on a thread of its own; while the folder does not exist the program
// folder is watched for its making. The list follows a change (a place added
// by `vantoril --add`, or by hand) once the folder has been quiet for a
// moment. Without a watch the list still follows on activation. Begun once
// the window is on the screen: setting up the watch of a tree of folders
// (under wine, in the wine server that makes the window too) does not hold
// the window back.
void Win32MainWindow::watchFolder() {
  if (watcher_) return;
  stopWatching_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!stopWatching_) return;
  watcher_ = ::CreateThread(nullptr, 0, &Win32MainWindow::watchThread, this, 0, nullptr);
  if (!watcher_) {
    ::CloseHandle(stopWatching_);
    stopWatching_ = nullptr;
  }
}

void Win32MainWindow::stopWatching() {
  if (watcher_) {
    ::SetEvent(stopWatching_);
    ::WaitForSingleObject(watcher_, INFINITE);
    ::CloseHandle(watcher_);
    watcher_ = nullptr;
  }
  if (stopWatching_) ::CloseHandle(stopWatching_);
  stopWatching_ = nullptr;
}

DWORD WINAPI Win32MainWindow::watchThread(void* self) {
  static_cast<Win32MainWindow*>(self)->watchUntilStopped();
  return 0;
}

// Reads only what is fixed before the thread starts (the folders' names, the
// window's handle, the stop event).
void Win32MainWindow::watchUntilStopped() {
  const std::wstring program = win32::wide(form_.programFolder());
  const std::wstring places = win32::wide(catalogue::folder(form_.programFolder()));
  const HWND window = hwnd_;
  constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
  for (;;) {
    bool placeFolder = true;
    HANDLE change = ::FindFirstChangeNotificationW(places.c_str(), TRUE, kChanges);
    if (change == INVALID_HANDLE_VALUE) {
      placeFolder = false;
      change = ::FindFirstChangeNotificationW(program.c_str(), FALSE, FILE_NOTIFY_CHANGE_DIR_NAME);
    }
    if (change == INVALID_HANDLE_VALUE) {
      if (::WaitForSingleObject(stopWatching_, kRetryMs) != WAIT_TIMEOUT) return;
      continue;
    }
    const HANDLE handles[] = {stopWatching_, change};
    bool watching = true;
    while (watching) {
      if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
        ::FindCloseChangeNotification(change);
        return;
      }
      // Quiet for a moment: the changes of one command (or one copy) are one.
      // A watch that never goes quiet (its folder removed) is made anew.
      const ULONGLONG first = ::GetTickCount64();
      DWORD waited;
      do {
        watching = placeFolder && ::FindNextChangeNotification(change);
        waited = watching ? ::WaitForMultipleObjects(2, handles, FALSE, kQuietMs)
                          : ::WaitForSingleObject(stopWatching_, kQuietMs);
        if (waited == WAIT_OBJECT_0) {
          ::FindCloseChangeNotification(change);
          return;
        }
      } while (waited == WAIT_OBJECT_0 + 1 && ::GetTickCount64() - first < kRetryMs);
      if (waited != WAIT_TIMEOUT) watching = false;
      ::PostMessageW(window, kFolderChangedMessage, 0, 0);
    }
    // The place folder made (or gone, or the watch broken): watched anew.
    ::FindCloseChangeNotification(change);
  }
}

Win32MainWindow::~Win32MainWindow() {
  stopWatching();
  busy_.setWindow(nullptr);
  form_.setListener(nullptr);
  if (hwnd_) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
  for (HFONT font : fonts_) ::DeleteObject(font);
  if (shortcuts_) ::DestroyAcceleratorTable(shortcuts_);
}

void Win32MainWindow::createControls() {
  HFONT windowFont = win32view::createFont(kWindowFont, dpi_);
  fonts_.push_back(windowFont);
  HWND above = HWND_TOP;
  for (const ControlDesign* design : stackingOrder()) {
    HFONT font = windowFont;
    if (design->font) {
      font = win32view::createFont(*design->font, dpi_);
      fonts_.push_back(font);
    }
    const int id = kFirstId + static_cast<int>(views_.size());
    auto view = win32view::createViewControl(hwnd_, *design, id, dpi_, font, form_);
    // Each control goes beneath the one made before it: the stack, and with
    // it the Tab order, follows the table's tab positions, labels last.
    ::SetWindowPos(view->hwnd, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    above = view->hwnd;
    byModel_.emplace(form_.control(design->name), view.get());
    views_.push_back(std::move(view));
  }
}

win32view::ViewControl* Win32MainWindow::viewOf(int id) const {
  const int i = id - kFirstId;
  return i >= 0 && i < static_cast<int>(views_.size()) ? views_[static_cast<std::size_t>(i)].get() : nullptr;
}

void Win32MainWindow::show(int showCommand) {
  ::ShowWindow(hwnd_, showCommand);
  ::UpdateWindow(hwnd_);
  ::SetFocus(views_.front()->hwnd);  // the record button, first in the tab order
  watchFolder();
}

// A Delete typed into a text box deletes text there, not the place.
bool Win32MainWindow::shortcut(MSG& msg) {
  if (!shortcuts_ || !following_ || (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd))) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_DELETE) {
    wchar_t kind[8] = L"";
    ::GetClassNameW(msg.hwnd, kind, 8);
    if (::lstrcmpiW(kind, L"Edit") == 0) return false;
  }
  return ::TranslateAcceleratorW(hwnd_, shortcuts_, &msg) != 0;
}

bool Win32MainWindow::navigate(MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !::IsChild(hwnd_, msg.hwnd)) return false;
  // Also out of a multi-line box, which would otherwise take the Tab as text.
  if (HWND next = ::GetNextDlgTabItem(hwnd_, msg.hwnd, ::GetKeyState(VK_SHIFT) < 0)) ::SetFocus(next);
  return true;
}

void Win32MainWindow::controlChanged(const Control& control) {
  if (busy_.showNow(control)) showControl(control);
}

void Win32MainWindow::showControl(const Control& control) {
  if (const auto it = byModel_.find(&control); it != byModel_.end()) it->second->mirror();
}

// The record button is disabled, its caption kept, and gets back the focus
// it had.
void Win32MainWindow::showBusy(bool busy) {
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
  HWND record = byModel_.at(&form_.Command1)->hwnd;
  if (busy && ::IsWindowEnabled(record)) recordHadFocus_ = ::GetFocus() == record;
  ::EnableWindow(record, busy ? FALSE : TRUE);
  if (!busy && recordHadFocus_) ::SetFocus(record);
}

void Win32MainWindow::repaintDroppingInput() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (isUserInput(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32MainWindow::closeLater() { ::PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

LRESULT CALLBACK Win32MainWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  return self->handle(hwnd, message, wParam, lParam);
}

LRESULT Win32MainWindow::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (lParam != 0 && following_) {
        if (auto* view = viewOf(LOWORD(wParam))) view->notified(HIWORD(wParam));
      } else if (lParam == 0 && following_ && LOWORD(wParam) >= kFirstCommandId &&
                 LOWORD(wParam) <= kFirstCommandId + static_cast<int>(Command::About)) {
        // From the menu bar (or its shortcut): a command of one place is for the selected place.
        const auto command = static_cast<Command>(LOWORD(wParam) - kFirstCommandId);
        HWND owner = hwnd;
        chooseCommand(form_, command, form_.List1.selectedIndex(),
                      {[owner] { return win32view::askPlaceByName(owner); },
                       [this, owner] { showScheduleDialog(owner, form_.programFolder()); },
                       [owner](const std::string& suggested) { return win32view::askSavePath(owner, suggested); }});
      }
      return 0;
    case WM_CONTEXTMENU:
      if (auto* list = dynamic_cast<win32view::ListCtrl*>(viewOf(::GetDlgCtrlID(reinterpret_cast<HWND>(wParam))))) {
        list->showMenu(lParam);
        return 0;
      }
      break;
    case WM_DRAWITEM:
      if (auto* button = dynamic_cast<win32view::ButtonCtrl*>(viewOf(static_cast<int>(wParam)))) {
        button->draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_CTLCOLOREDIT: {
      auto* view = viewOf(::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      if (!view || !view->design.foreground) break;
      const Rgb& c = *view->design.foreground;
      HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, RGB(c.red, c.green, c.blue));
      ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_SETCURSOR:
      if (busy_.busy()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      // The focus goes back where it was when the window is active again
      // (after an input box or a message box). While a modal box of the
      // window is up (the window is disabled) the focus stays in the box,
      // even when the window hears of its activation late.
      if (!::IsWindowEnabled(hwnd)) return 0;
      // Back from another program (an editor "修改网址" opened): after the
      // activation, the model looks whether an address changed.
      if (LOWORD(wParam) != WA_INACTIVE) ::PostMessageW(hwnd, kReturnedMessage, 0, 0);
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd, focus)) focusBeforeDeactivation_ = focus;
      } else if (focusBeforeDeactivation_ && ::IsWindow(focusBeforeDeactivation_)) {
        ::SetFocus(focusBeforeDeactivation_);
        return 0;
      }
      break;
    case kReturnedMessage:
      form_.userReturned();
      return 0;
    case kFolderChangedMessage:
      if (following_) form_.userFolderChanged();
      return 0;
    case WM_CLOSE:
      if (busy_.closeNow()) ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      stopWatching();
      hwnd_ = nullptr;
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace vantoril
