#include "app/win32_Dialogs.h"

#include "app/ControlTable.h"
#include "app/ViewDesign.h"
#include "app/win32_Controls.h"
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
  HFONT font = nullptr;
  int dpi = 96;
};

// A dialog template with no controls: the dialog makes them itself.
struct EmptyDialogTemplate {
  DLGTEMPLATE dialog;
  WORD menu, windowClass, title;
};

using win32view::scaled;

void layOut(HWND dialog, InputRequest& request) {
  const int dpi = request.dpi;
  const auto make = [&](const wchar_t* cls, DWORD style, DWORD exStyle, int x, int y, int w, int h, int id,
                        std::u16string_view text) {
    return win32view::addControl(dialog, request.font, dpi, cls, style, exStyle, x, y, w, h, id, text);
  };
  make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, 12, 12, 264, 72, -1, request.prompt);
  make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 288, 12, 72, 24, IDOK, kOkCaption);
  make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 288, 42, 72, 24, IDCANCEL, kCancelCaption);
  HWND edit = make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, 12, 96, 348, 22, kEditId,
                   request.defaultText);
  win32view::setWindowText(dialog, request.title);

  win32view::placeDialog(dialog, scaled(372, dpi), scaled(130, dpi));
  ::SetFocus(edit);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* handlers = reinterpret_cast<win32view::DialogHandlers*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<win32view::DialogHandlers*>(lParam)->layOut(dialog);
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && handlers) {
        if (handlers->ok(dialog)) ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

std::u16string Win32InputBox::ask(const std::u16string& prompt, const std::u16string& title,
                                  const std::u16string& defaultText) {
  InputRequest request{prompt, title, defaultText, {}};
  request.dpi = win32view::systemDpi();
  request.font = win32view::createFont(kWindowFont, request.dpi);

  win32view::DialogHandlers handlers{[&](HWND dialog) { layOut(dialog, request); },
                                     [&](HWND dialog) {
                                       request.answer = win32view::windowText(::GetDlgItem(dialog, kEditId));
                                       return true;
                                     }};
  const INT_PTR result = win32view::runDialog(owner_, handlers);
  const DWORD error = ::GetLastError();
  ::DeleteObject(request.font);
  if (result == -1) win32::fail("无法打开输入框", error);
  return result == IDOK ? request.answer : std::u16string();
}

HWND win32view::DialogMaker::make(const wchar_t* className, DWORD style, DWORD exStyle, PixelRect at96, int id,
                                  std::u16string_view text) const {
  return addControl(dialog, font, dpi, className, style, exStyle, at96.left, at96.top, at96.width, at96.height, id, text);
}

void win32view::DialogMaker::sizeAndCentre(int width, int height) const {
  placeDialog(dialog, scaled(width, dpi), scaled(height, dpi));
}

INT_PTR win32view::runDialog(HWND owner, DLGPROC proc, LPARAM param) {
  EmptyDialogTemplate dialogTemplate{};
  dialogTemplate.dialog.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const INT_PTR result =
      ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &dialogTemplate.dialog, owner, proc, param);
  if (result == -1) win32::fail("无法打开对话框", ::GetLastError());
  return result;
}

namespace win32view {

INT_PTR runDialog(HWND owner, DialogHandlers& handlers) {
  EmptyDialogTemplate dialogTemplate{};
  dialogTemplate.dialog.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &dialogTemplate.dialog, owner, &dialogProc,
                                   reinterpret_cast<LPARAM>(&handlers));
}

HWND addControl(HWND dialog, HFONT font, int dpi, const wchar_t* className, DWORD style, DWORD exStyle, int x, int y,
                int w, int h, int id, std::u16string_view text) {
  CreateControlArgs args;
  args.parent = dialog;
  args.className = className;
  args.style = style | WS_VISIBLE;
  args.exStyle = exStyle;
  args.rect = {scaled(x, dpi), scaled(y, dpi), scaled(w, dpi), scaled(h, dpi)};
  args.id = id;
  args.font = font;
  args.text = text;
  return createControl(args);
}

void placeDialog(HWND dialog, int width, int height) {
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  RECT over{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (HWND owner = ::GetWindow(dialog, GW_OWNER)) ::GetWindowRect(owner, &over);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  ::SetWindowPos(dialog, nullptr, (over.left + over.right - w) / 2, (over.top + over.bottom - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace win32view

void Win32MessageBoxReport::show(const std::string& message, UINT icon) {
  if (held_) {
    kept_.emplace_back(message, icon);
    return;
  }
  const std::wstring text = win32::wide(message);
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
