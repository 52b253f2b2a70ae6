#include "app/win32_ScheduleDialog.h"

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

constexpr int kOnId = 100, kTimesId = 101, kStateId = 102;

void layOut(const win32view::DialogMaker& maker, const schedule::ScheduleDialogModel& model) {
  const auto make = [&](const wchar_t* cls, DWORD style, DWORD exStyle, PixelRect at96, int id, std::string_view text) {
    return maker.make(cls, style, exStyle, at96, id, fromUtf8(text));
  };
  using namespace schedule;
  HWND on = make(L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, {12, 12, 348, 22}, kOnId, kOnCaption);
  ::SendMessageW(on, BM_SETCHECK, model.on() ? BST_CHECKED : BST_UNCHECKED, 0);
  make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, {12, 42, 348, 20}, -1, kTimesCaption);
  HWND times = make(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE, {12, 64, 348, 22}, kTimesId,
                    model.timesText());
  make(L"STATIC", SS_LEFT | SS_NOPREFIX, 0, {12, 96, 348, 120}, kStateId, model.stateText());
  maker.make(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, {204, 226, 72, 24}, IDOK, kOkCaption);
  maker.make(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, {288, 226, 72, 24}, IDCANCEL, kCancelCaption);
  win32view::setWindowText(maker.dialog, fromUtf8(kDialogTitle));
  maker.sizeAndCentre(372, 262);
  ::SetFocus(times);
  ::SendMessageW(times, EM_SETSEL, 0, -1);
}

// OK: the choice goes to the system; a refusal is shown and the dialog stays.
bool applyChoice(HWND dialog, schedule::ScheduleDialogModel& model) {
  const bool on = ::SendMessageW(::GetDlgItem(dialog, kOnId), BM_GETCHECK, 0, 0) == BST_CHECKED;
  const std::string refused = model.apply(on, toUtf8(win32view::windowText(::GetDlgItem(dialog, kTimesId))));
  const std::wstring title = win32::wide(schedule::kDialogTitle);
  if (refused.empty()) {
    // Taken, but it will not run (a task the system disabled): said before the dialog goes.
    if (model.on() && !model.warning().empty())
      ::MessageBoxW(dialog, win32::wide(model.warning()).c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
    return true;
  }
  ::MessageBoxW(dialog, win32::wide(refused).c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
  return false;
}

}  // namespace

void showScheduleDialog(HWND owner, const std::string& programFolder) {
  const auto opened = schedule::ScheduleDialogModel::open(programFolder);
  schedule::ScheduleDialogModel& model = *opened;
  win32view::DialogHandlers handlers{[&](const win32view::DialogMaker& maker) { layOut(maker, model); },
                                     [&](HWND dialog) { return applyChoice(dialog, model); }};
  win32view::runDialog(owner, handlers);
}

}  // namespace vantoril
