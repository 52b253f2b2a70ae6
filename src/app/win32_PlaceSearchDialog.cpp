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

void layOut(const DialogMaker& maker, SearchDialog& dialog) {
  maker.make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, {12, 12, 420, 18}, -1, places::kSearchPrompt);
  HWND edit =
      maker.make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, {12, 34, 420, 22}, kTextId, u"");
  dialog.list = maker.make(L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP,
                           WS_EX_CLIENTEDGE, {12, 62, 420, 300}, kListId, u"");
  maker.make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP | WS_DISABLED, 0, {276, 372, 72, 24}, IDOK,
             kOkCaption);
  maker.make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, {360, 372, 72, 24}, IDCANCEL, kCancelCaption);
  ::SetWindowSubclass(edit, &searchBoxProc, 1, reinterpret_cast<DWORD_PTR>(&dialog));
  setWindowText(maker.dialog, places::kSearchTitle);
  maker.sizeAndCentre(444, 408);
  ::SetFocus(edit);
}

// The search box's text and the list's choice.
bool command(HWND window, WORD id, WORD code, SearchDialog& dialog) {
  if (id == kTextId && code == EN_CHANGE) {
    dialog.model.setText(windowText(::GetDlgItem(window, kTextId)));
    showRows(dialog, window);
    return true;
  }
  if (id == kListId && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) {
    dialog.model.choose(static_cast<int>(::SendMessageW(dialog.list, LB_GETCURSEL, 0, 0)));
    ::EnableWindow(::GetDlgItem(window, IDOK), dialog.model.chosen() >= 0);
    if (code == LBN_DBLCLK && dialog.model.chosen() >= 0) ::EndDialog(window, IDOK);
    return true;
  }
  return false;
}

}  // namespace

std::string askPlaceByName(HWND owner) {
  SearchDialog dialog;
  DialogHandlers handlers{[&](const DialogMaker& maker) { layOut(maker, dialog); },
                          [&](HWND) { return dialog.model.chosen() >= 0; },
                          [&](HWND window, WORD id, WORD code) { return command(window, id, code, dialog); },
                          [](HWND window) { ::RemoveWindowSubclass(::GetDlgItem(window, kTextId), &searchBoxProc, 1); }};
  return runDialog(owner, handlers) == IDOK ? dialog.model.chosenCode() : std::string();
}

}  // namespace vantoril::win32view
