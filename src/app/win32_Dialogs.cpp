#include "app/win32_Dialogs.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <type_traits>

#include <commdlg.h>

#include "app/ControlTable.h"
#include "app/ListMenu.h"
#include "app/ViewDesign.h"
#include "app/win32_Controls.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "platform/Win32.h"

namespace vantoril {

namespace {

constexpr int kEditId = 100;

struct InputRequest {
  const std::u16string& prompt;
  const std::u16string& title;
  const std::u16string& defaultText;
  std::u16string answer;
};

void layOut(const win32view::DialogMaker& maker, InputRequest& request) {
  maker.make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, {12, 12, 264, 72}, -1, request.prompt);
  maker.make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, {288, 12, 72, 24}, IDOK, kOkCaption);
  maker.make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, {288, 42, 72, 24}, IDCANCEL, kCancelCaption);
  HWND edit = maker.make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, {12, 96, 348, 22}, kEditId,
                         request.defaultText);
  win32view::setWindowText(maker.dialog, request.title);
  maker.sizeAndCentre(372, 130);
  ::SetFocus(edit);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

// A dialog template with no controls: the dialog makes them itself.
struct EmptyDialogTemplate {
  DLGTEMPLATE dialog;
  WORD menu, windowClass, title;
};

// What a dialog of the program's own needs while it is open.
struct OpenDialog {
  win32view::DialogHandlers& handlers;
  HFONT font;
  int dpi;
  std::exception_ptr failure;  // of a handler: it ends the dialog, and runDialog throws it
};

INT_PTR handle(OpenDialog* open, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      open->handlers.layOut(win32view::DialogMaker{dialog, open->font, open->dpi});
      return FALSE;  // the focus is set
    case WM_COMMAND: {
      if (!open) break;
      const WORD id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == IDOK) {
        if (open->handlers.ok(dialog)) ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      if (open->handlers.command && open->handlers.command(dialog, id, code)) return TRUE;
      break;
    }
    case WM_DESTROY:
      if (open && open->handlers.closing) open->handlers.closing(dialog);
      break;
    default:
      break;
  }
  return FALSE;
}

// No exception crosses the system's frames: a handler's failure ends the
// dialog and leaves it with runDialog.
INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* open = message == WM_INITDIALOG ? reinterpret_cast<OpenDialog*>(lParam)
                                        : reinterpret_cast<OpenDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  try {
    return handle(open, dialog, message, wParam, lParam);
  } catch (...) {
    if (!open || open->failure) return FALSE;
    open->failure = std::current_exception();
    ::EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
}

}  // namespace

std::u16string Win32InputBox::ask(const std::u16string& prompt, const std::u16string& title,
                                  const std::u16string& defaultText) {
  InputRequest request{prompt, title, defaultText, {}};
  win32view::DialogHandlers handlers{[&](const win32view::DialogMaker& maker) { layOut(maker, request); },
                                     [&](HWND dialog) {
                                       request.answer = win32view::windowText(::GetDlgItem(dialog, kEditId));
                                       return true;
                                     }};
  return win32view::runDialog(owner_, handlers, "无法打开输入框") == IDOK ? request.answer : std::u16string();
}

namespace win32view {

HWND DialogMaker::make(const wchar_t* className, DWORD style, DWORD exStyle, PixelRect at96, int id,
                       std::u16string_view text) const {
  const auto scaled = [&](int pixels) { return ::MulDiv(pixels, dpi, 96); };
  CreateControlArgs args;
  args.parent = dialog;
  args.className = className;
  args.style = style | WS_VISIBLE;
  args.exStyle = exStyle;
  args.rect = {scaled(at96.left), scaled(at96.top), scaled(at96.width), scaled(at96.height)};
  args.id = id;
  args.font = font;
  args.text = text;
  return createControl(args);
}

void DialogMaker::sizeAndCentre(int width, int height) const {
  RECT frame{0, 0, ::MulDiv(width, dpi, 96), ::MulDiv(height, dpi, 96)};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  RECT over{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (HWND owner = ::GetWindow(dialog, GW_OWNER)) ::GetWindowRect(owner, &over);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  ::SetWindowPos(dialog, nullptr, (over.left + over.right - w) / 2, (over.top + over.bottom - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR runDialog(HWND owner, DialogHandlers& handlers, const std::string& cannotOpen) {
  const int dpi = systemDpi();
  const std::unique_ptr<std::remove_pointer_t<HFONT>, decltype(&::DeleteObject)> font(createFont(kWindowFont, dpi),
                                                                                     &::DeleteObject);
  OpenDialog open{handlers, font.get(), dpi, nullptr};
  EmptyDialogTemplate dialogTemplate{};
  dialogTemplate.dialog.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &dialogTemplate.dialog, owner,
                                                   &dialogProc, reinterpret_cast<LPARAM>(&open));
  if (open.failure) std::rethrow_exception(open.failure);
  if (result == -1) win32::fail(cannotOpen, ::GetLastError());
  return result;
}

std::string askSavePath(HWND owner, const std::string& suggested) {
  const std::size_t slash = suggested.find_last_of("\\/");
  const std::wstring folder = win32::wide(slash == std::string::npos ? std::string() : suggested.substr(0, slash));
  std::wstring file = win32::wide(slash == std::string::npos ? suggested : suggested.substr(slash + 1));
  file.resize(32768, L'\0');
  // "表格 (*.csv;*.tsv)", then its pattern, each ending in a null.
  std::wstring filter = win32::wide(kExportFileKinds) + L" (*.csv;*.tsv)";
  filter += L'\0';
  filter += L"*.csv;*.tsv";
  filter += L'\0';
  const std::wstring title = win32::wide(kExportDialogTitle);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = L"csv";
  dialog.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
  if (::GetSaveFileNameW(&dialog)) return win32::utf8(file.c_str());
  if (const DWORD error = ::CommDlgExtendedError())
    throw Failure("无法打开保存对话框（错误 " + std::to_string(error) + "）");
  return {};
}

}  // namespace win32view

void Win32MessageBoxReport::show(const std::string& message, UINT icon) {
  if (held_) {
    kept_.emplace_back(message, icon);
    return;
  }
  // Cut to what a box on the work area shows whole. A message box wraps
  // its text at about five eighths of the screen's width.
  RECT area{0, 0, 1024, 768};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  int lineHeight = 16, wideWidth = 12;
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    lineHeight = std::abs(metrics.lfMessageFont.lfHeight) + 3;
    wideWidth = std::abs(metrics.lfMessageFont.lfHeight);
  }
  const std::wstring text = win32::wide(messageFitting(message, area.bottom - area.top, lineHeight,
                                                       (area.right - area.left) * 5 / 8, wideWidth));
  const std::wstring caption = win32::wide(kWindowCaption);
  ::MessageBoxW(owner_, text.c_str(), caption.c_str(), MB_OK | icon);
}

void Win32MessageBoxReport::report(const std::string& message) { show(message, MB_ICONWARNING); }

void Win32MessageBoxReport::inform(const std::string& message) { show(message, MB_ICONINFORMATION); }

void Win32MessageBoxReport::release() {
  held_ = false;
  for (const auto& [message, icon] : std::exchange(kept_, {})) show(message, icon);
}

}  // namespace vantoril
