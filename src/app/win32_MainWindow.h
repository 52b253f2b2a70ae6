#pragma once
// The native Win32 window over Form1: one system control per control of
// the design, placed, stacked and tabbed from the control table. It holds
// no state of its own: user actions go to the model's event entry points,
// and every change of a control comes back through ControlListener and is
// copied to its native control.
#include <windows.h>

#include <memory>
#include <unordered_map>
#include <vector>

#include "app/BusyRun.h"
#include "app/Controls.h"

namespace vantoril {

class Form1;

namespace win32view {
struct ViewControl;
}

class Win32MainWindow final : public ControlListener, public BusyRun::Window {
 public:
  Win32MainWindow(Form1& form, BusyRun& busy);
  ~Win32MainWindow() override;
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // The controls are made empty, and the model may be loading meanwhile on
  // another thread; from this call on (on the window's thread, the model
  // loaded) they show the model and follow its changes.
  void followModel();
  void show(int showCommand);
  // Keyboard navigation of the window (Tab, Shift+Tab, Space on a button):
  // true when the message was handled here.
  bool navigate(MSG& msg);
  // The menu bar's shortcuts: true when the message was one.
  bool shortcut(MSG& msg);

  void controlChanged(const Control& control) override;
  void showBusy(bool busy) override;
  void showControl(const Control& control) override;
  void repaintDroppingInput() override;
  void closeLater() override;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  win32view::ViewControl* viewOf(int id) const;
  void watchFolder();
  void stopWatching();
  static DWORD WINAPI watchThread(void* self);
  void watchUntilStopped();

  Form1& form_;
  BusyRun& busy_;
  HWND hwnd_ = nullptr;
  HACCEL shortcuts_ = nullptr;
  int dpi_ = 96;
  std::vector<HFONT> fonts_;
  std::vector<std::unique_ptr<win32view::ViewControl>> views_;  // index = control id - kFirstId
  std::unordered_map<const Control*, win32view::ViewControl*> byModel_;
  HWND focusBeforeDeactivation_ = nullptr;
  bool recordHadFocus_ = false;
  bool following_ = false;  // until followModel, no notification reaches the model
  HANDLE stopWatching_ = nullptr;  // set when the window goes: the watching thread ends
  HANDLE watcher_ = nullptr;
};

}  // namespace vantoril
