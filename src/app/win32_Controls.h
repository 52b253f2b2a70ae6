#pragma once
// The native controls of the Win32 window, one small struct per control
// kind, each made by one creation function from its row of the control
// table. They hold no state of their own: `mirror` copies the model's
// control into the native one, `notified` turns a native notification into
// the model's event.
#include <windows.h>

#include <memory>
#include <string>

#include "app/ControlTable.h"
#include "app/Controls.h"
#include "app/ViewDesign.h"

namespace vantoril {

class Form1;

namespace win32view {

struct CreateControlArgs {
  HWND parent = nullptr;
  const wchar_t* className = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  PixelRect rect{};
  int id = 0;
  HFONT font = nullptr;
  std::u16string_view text;
};
HWND createControl(const CreateControlArgs& args);

// The dots per inch of the screen, and a font of the design at that size.
int systemDpi();
HFONT createFont(const FontDesign& font, int dotsPerInch);

std::u16string windowText(HWND hwnd);
void setWindowText(HWND hwnd, std::u16string_view text);

struct ViewControl {
  ViewControl(HWND hwnd, const ControlDesign& design) : hwnd(hwnd), design(design) {}
  virtual ~ViewControl() = default;
  ViewControl(const ViewControl&) = delete;
  ViewControl& operator=(const ViewControl&) = delete;

  virtual void mirror() = 0;
  // A WM_COMMAND notification code from the control.
  virtual void notified(WORD /*code*/) {}

  HWND hwnd;
  const ControlDesign& design;
  bool updating = false;  // set while the view itself changes the control
};

struct LabelCtrl final : ViewControl {
  LabelCtrl(HWND hwnd, const ControlDesign& design, const Label& model) : ViewControl(hwnd, design), model(model) {}
  void mirror() override;
  const Label& model;
};

// Drawn by the program (WM_DRAWITEM): a plain Windows button ignores a
// background colour.
struct ButtonCtrl final : ViewControl {
  ButtonCtrl(HWND hwnd, const ControlDesign& design, Form1& form, CommandButton& model)
      : ViewControl(hwnd, design), form(form), model(model) {}
  void mirror() override;
  void notified(WORD code) override;
  void draw(const DRAWITEMSTRUCT& item) const;
  Form1& form;
  CommandButton& model;
};

struct EditCtrl final : ViewControl {
  EditCtrl(HWND hwnd, const ControlDesign& design, Form1& form, TextBox& model)
      : ViewControl(hwnd, design), form(form), model(model) {}
  void mirror() override;
  void notified(WORD code) override;
  Form1& form;
  TextBox& model;
};

struct ListCtrl final : ViewControl {
  ListCtrl(HWND hwnd, const ControlDesign& design, Form1& form, ListBox& model)
      : ViewControl(hwnd, design), form(form), model(model) {}
  void mirror() override;
  void notified(WORD code) override;
  // The list's menu (WM_CONTEXTMENU at screen point `at`, (-1, -1) from
  // the keyboard): the entries of the place under the pointer (or the
  // selected one), then those of the whole program.
  void showMenu(LPARAM at);
  // The list's tooltip, made at the first mouse message over the list
  // rather than with the window: it is the window's one common control,
  // and loading comctl32 for it would lengthen the start-up. None where it
  // could not be made; the list goes on without.
  HWND ensureTooltip();
  Form1& form;
  ListBox& model;
  HWND tooltip = nullptr;
  bool tooltipTried = false;
};

// The window class, style and the view struct of one row of the table.
std::unique_ptr<ViewControl> createViewControl(HWND parent, const ControlDesign& design, int id, int dotsPerInch,
                                               HFONT font, Form1& form);

}  // namespace win32view
}  // namespace vantoril
