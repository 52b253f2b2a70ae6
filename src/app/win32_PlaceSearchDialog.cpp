#include "app/win32_PlaceSearchDialog.h"

#include <commctrl.h>

#include "app/ControlTable.h"
#include "app/ViewDesign.h"
#include "app/win32_Controls.h"
#include "app/win32_Dialogs.h"
#include "places/PlaceSearch.h"
#include "platform/Text.h"

namespace vantoril::win32view {

namespace {

constexpr int kTextId = 100;
constexpr int kListId = 101;

struct SearchDialog {
  places::PlaceSearch model;
  HFONT font = nullptr;
  int dpi = 96;
  HWND list = nullptr;
};

void showRows(const SearchDialog& dialog, HWND window) {
  ::SendMessageW(dialog.list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(dialog.list, LB_RESETCONTENT, 0, 0);
  for (const std::u16string& row : dialog.model.rows())
    ::SendMessageW(dialog.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  ::SendMessageW(dialog.list, LB_SETCURSEL, static_cast<WPARAM>(dialog.model.chosen()), 0);
  ::SendMessageW(dialog.list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(dialog.list, nullptr, TRUE);
  ::EnableWindow(::GetDlgItem(window, IDOK), dialog.model.chosen() >= 0);
}

// The arrow keys in the search box move the choice in the list.
LRESULT CALLBACK searchBoxProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  if (message == WM_KEYDOWN) {
    const int step = wParam == VK_DOWN ? 1 : wParam == VK_UP ? -1 : wParam == VK_NEXT ? 10 : wParam == VK_PRIOR ? -10 : 0;
    if (step != 0) {
      auto& dialog = *reinterpret_cast<SearchDialog*>(data);
      dialog.model.move(step);
      ::SendMessageW(dialog.list, LB_SETCURSEL, static_cast<WPARAM>(dialog.model.chosen()), 0);
      return 0;
    }
  }
  return ::DefSubclassProc(edit, message, wParam, lParam);
}

void layOut(HWND window, SearchDialog& dialog) {
  const DialogMaker maker{window, dialog.font, dialog.dpi};
  maker.make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, {12, 12, 420, 18}, -1, places::kSearchPrompt);
  HWND edit =
      maker.make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, {12, 34, 420, 22}, kTextId, u"");
  dialog.list = maker.make(L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                           WS_EX_CLIENTEDGE, {12, 62, 420, 300}, kListId, u"");
  maker.make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP | WS_DISABLED, 0, {276, 372, 72, 24}, IDOK, kOkCaption);
  maker.make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, {360, 372, 72, 24}, IDCANCEL, kCancelCaption);
  ::SetWindowSubclass(edit, &searchBoxProc, 1, reinterpret_cast<DWORD_PTR>(&dialog));
  setWindowText(window, places::kSearchTitle);
  maker.sizeAndCentre(444, 408);
  ::SetFocus(edit);
}

INT_PTR CALLBACK searchDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<SearchDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(window, DWLP_USER, lParam);
      layOut(window, *reinterpret_cast<SearchDialog*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND: {
      if (!dialog) break;
      const WORD id = LOWORD(wParam), code = HIWORD(wParam);
      if (id == kTextId && code == EN_CHANGE) {
        dialog->model.setText(windowText(::GetDlgItem(window, kTextId)));
        showRows(*dialog, window);
        return TRUE;
      }
      if (id == kListId && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
        dialog->model.choose(static_cast<int>(::SendMessageW(dialog->list, LB_GETCURSEL, 0, 0)));
        ::EnableWindow(::GetDlgItem(window, IDOK), dialog->model.chosen() >= 0);
        if (code == LBN_DBLCLK && dialog->model.chosen() >= 0) ::EndDialog(window, IDOK);
        return TRUE;
      }
      if (id == IDOK) {
        if (dialog->model.chosen() >= 0) ::EndDialog(window, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        ::EndDialog(window, IDCANCEL);
        return TRUE;
      }
      break;
    }
    case WM_DESTROY:
      if (dialog) ::RemoveWindowSubclass(::GetDlgItem(window, kTextId), &searchBoxProc, 1);
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

std::string askPlaceByName(HWND owner) {
  SearchDialog dialog;
  dialog.dpi = systemDpi();
  dialog.font = createFont(kWindowFont, dialog.dpi);
  INT_PTR result = IDCANCEL;
  try {
    result = runDialog(owner, &searchDialogProc, reinterpret_cast<LPARAM>(&dialog));
  } catch (...) {
    ::DeleteObject(dialog.font);
    throw;
  }
  ::DeleteObject(dialog.font);
  return result == IDOK ? dialog.model.chosenCode() : std::string();
}

}  // namespace vantoril::win32view
