#pragma once
// The Win32 window's services that talk to the user: the modal input box
// and the message box that reports a failed operation, both owned by the
// window once it exists.
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/ViewDesign.h"
#include "platform/Services.h"

namespace vantoril {

// Prompt, title, a box holding the default text (selected), OK and Cancel.
// Cancel, Escape or closing the box gives the empty text.
class Win32InputBox final : public InputBox {
 public:
  void setOwner(HWND owner) { owner_ = owner; }
  std::u16string ask(const std::u16string& prompt, const std::u16string& title,
                     const std::u16string& defaultText) override;

 private:
  HWND owner_ = nullptr;
};

// A warning box titled with the window caption.
class Win32MessageBoxReport final : public ErrorReport {
 public:
  void setOwner(HWND owner) { owner_ = owner; }
  void report(const std::string& message) override;
  // An information box titled with the window caption.
  void inform(const std::string& message) override;
  // From hold() until release(), the messages are kept and then shown in
  // their order by release(): what another thread reports waits for the
  // window's own thread. Both are called on that thread.
  void hold() { held_ = true; }
  void release();

 private:
  void show(const std::string& message, UINT icon);

  HWND owner_ = nullptr;
  bool held_ = false;
  std::vector<std::pair<std::string, UINT>> kept_;
};

namespace win32view {

// Makes the controls of a dialog in the window's font, laid out in pixels
// at 96 dots per inch and scaled to the screen's.
struct DialogMaker {
  HWND dialog;
  HFONT font;
  int dpi;
  // A visible control of the dialog.
  HWND make(const wchar_t* className, DWORD style, DWORD exStyle, PixelRect at96, int id,
            std::u16string_view text) const;
  // Gives the dialog a client area of that size, centred over its owner (or the screen).
  void sizeAndCentre(int width, int height) const;
};

// A modal dialog of the program's own, which makes its controls itself:
// `layOut` when it opens; `ok` on OK (Enter), closing it when it returns
// true; `command` for the notifications of its other controls (true when
// it took one); `closing` as it goes. Cancel, Escape or the close box close it.
struct DialogHandlers {
  std::function<void(const DialogMaker& maker)> layOut;
  std::function<bool(HWND dialog)> ok;
  std::function<bool(HWND dialog, WORD id, WORD code)> command = {};
  std::function<void(HWND dialog)> closing = {};
};
// Runs the dialog: IDOK or IDCANCEL. A dialog that cannot be made throws a
// Failure saying `cannotOpen` and the system's cause; a handler's failure
// ends the dialog and is thrown from here.
INT_PTR runDialog(HWND owner, DialogHandlers& handlers, const std::string& cannotOpen = "无法打开对话框");

// The common save dialog for an export, opened at `suggested`: the path
// chosen (with ".csv" added to a name without ending), or empty. Failure
// when the dialog cannot be shown.
std::string askSavePath(HWND owner, const std::string& suggested);

}  // namespace win32view

}  // namespace vantoril
