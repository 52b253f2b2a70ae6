#include "app/win32_ScheduleDialog.h"

#include <exception>
#include <memory>

#include "app/ControlTable.h"
#include "app/ViewDesign.h"
#include "app/win32_Controls.h"
#include "app/win32_Dialogs.h"
#include "platform/Text.h"
#include "platform/Win32.h"
#include "schedule/ScheduleDialog.h"

namespace vantoril {

namespace {

using win32view::scaled;

constexpr int kOnId = 100, kTimesId = 101, kStateId = 102;

struct DialogState {
  schedule::ScheduleDialogModel& model;
  HFONT font = nullptr;
  int dpi = 96;
};

void layOut(HWND dialog, DialogState& state) {
  const int dpi = state.dpi;
  const auto make = [&](const wchar_t* cls, DWORD style, DWORD exStyle, int x, int y, int w, int h, int id,
                        std::string_view text) {
    return win32view::addControl(dialog, state.font, dpi, cls, style, exStyle, x, y, w, h, id, fromUtf8(text));
  };
  using namespace schedule;
  HWND on = make(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, 12, 12, 348, 22, kOnId, kOnCaption);
  ::SendMessageW(on, BM_SETCHECK, state.model.on() ? BST_CHECKED : BST_UNCHECKED, 0);
  make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, 12, 42, 348, 20, -1, kTimesCaption);
  HWND times = make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, 12, 64, 348, 22, kTimesId,
                    state.model.timesText());
  make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, 12, 96, 348, 120, kStateId, state.model.stateText());
  make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 204, 226, 72, 24, IDOK, toUtf8(kOkCaption));
  make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, 288, 226, 72, 24, IDCANCEL, toUtf8(kCancelCaption));
  win32view::setWindowText(dialog, fromUtf8(kDialogTitle));
  win32view::placeDialog(dialog, scaled(372, dpi), scaled(262, dpi));
  ::SetFocus(times);
  ::SendMessageW(times, EM_SETSEL, 0, -1);
}

// OK: the choice goes to the system; a refusal is shown and the dialog stays.
bool applyChoice(HWND dialog, schedule::ScheduleDialogModel& model) {
  const bool on = ::SendMessageW(::GetDlgItem(dialog, kOnId), BM_GETCHECK, 0, 0) == BST_CHECKED;
  const std::string refused = model.apply(on, toUtf8(win32view::windowText(::GetDlgItem(dialog, kTimesId))));
  if (refused.empty()) return true;
  const std::wstring text = win32::wide(refused), title = win32::wide(schedule::kDialogTitle);
  ::MessageBoxW(dialog, text.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
  return false;
}

}  // namespace

void showScheduleDialog(HWND owner, const std::string& programFolder) {
  const std::wstring title = win32::wide(schedule::kDialogTitle);
  std::unique_ptr<schedule::ScheduleDialogModel> opened;
  try {
    opened = schedule::ScheduleDialogModel::open(programFolder);
  } catch (const std::exception& e) {
    const std::wstring text = win32::wide(e.what());
    ::MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
    return;
  }
  schedule::ScheduleDialogModel& model = *opened;
  DialogState state{model};
  state.dpi = win32view::systemDpi();
  state.font = win32view::createFont(kWindowFont, state.dpi);
  win32view::DialogHandlers handlers{[&](HWND dialog) { layOut(dialog, state); },
                                     [&](HWND dialog) { return applyChoice(dialog, model); }};
  win32view::runDialog(owner, handlers);
  ::DeleteObject(state.font);
}

}  // namespace vantoril
