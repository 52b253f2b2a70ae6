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

// A dialog template with no controls: the box makes them itself.
struct EmptyDialogTemplate {
  DLGTEMPLATE dialog;
  WORD menu, windowClass, title;
};

void layOut(HWND dialog, InputRequest& request) {
  const win32view::DialogMaker maker{dialog, request.font, request.dpi};
  maker.make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, {12, 12, 264, 72}, -1, request.prompt);
  maker.make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, {288, 12, 72, 24}, IDOK, u"确定");
  maker.make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, {288, 42, 72, 24}, IDCANCEL, u"取消");
  HWND edit = maker.make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, {12, 96, 348, 22}, kEditId,
                         request.defaultText);
  win32view::setWindowText(dialog, request.title);
  maker.sizeAndCentre(372, 130);
  ::SetFocus(edit);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK inputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* request = reinterpret_cast<InputRequest*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      layOut(dialog, *reinterpret_cast<InputRequest*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && request) {
        request->answer = win32view::windowText(::GetDlgItem(dialog, kEditId));
        ::EndDialog(dialog, IDOK);
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

  INT_PTR result = IDCANCEL;
  try {
    result = win32view::runDialog(owner_, &inputBoxProc, reinterpret_cast<LPARAM>(&request));
  } catch (...) {
    ::DeleteObject(request.font);
    throw;
  }
  ::DeleteObject(request.font);
  return result == IDOK ? request.answer : std::u16string();
}

HWND win32view::DialogMaker::make(const wchar_t* className, DWORD style, DWORD exStyle, PixelRect at96, int id,
                                  std::u16string_view text) const {
  CreateControlArgs args;
  args.parent = dialog;
  args.className = className;
  args.style = style | WS_VISIBLE;
  args.exStyle = exStyle;
  args.rect = {scaled(at96.left, dpi), scaled(at96.top, dpi), scaled(at96.width, dpi), scaled(at96.height, dpi)};
  args.id = id;
  args.font = font;
  args.text = text;
  return createControl(args);
}

void win32view::DialogMaker::sizeAndCentre(int width, int height) const {
  RECT frame{0, 0, scaled(width, dpi), scaled(height, dpi)};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  RECT over{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  if (HWND owner = ::GetWindow(dialog, GW_OWNER)) ::GetWindowRect(owner, &over);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  ::SetWindowPos(dialog, nullptr, (over.left + over.right - w) / 2, (over.top + over.bottom - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR win32view::runDialog(HWND owner, DLGPROC proc, LPARAM param) {
  EmptyDialogTemplate dialogTemplate{};
  dialogTemplate.dialog.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const INT_PTR result =
      ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &dialogTemplate.dialog, owner, proc, param);
  if (result == -1) win32::fail("无法打开对话框", ::GetLastError());
  return result;
}

void Win32MessageBoxReport::report(const std::string& message) {
  const std::wstring text = win32::wide(message);
  const std::wstring caption = win32::wide(kWindowCaption);
  ::MessageBoxW(owner_, text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace vantoril

namespace vantoril {

void Win32MessageBoxReport::inform(const std::string& message) {
  const std::wstring text = win32::wide(message);
  const std::wstring caption = win32::wide(kWindowCaption);
  ::MessageBoxW(owner_, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace vantoril
