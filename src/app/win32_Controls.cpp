#include "app/win32_Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <memory>

#include "app/Form1.h"
#include "app/ListMenu.h"
#include "app/MenuBar.h"
#include "app/win32_Dialogs.h"
#include "app/win32_ScheduleDialog.h"
#include "app/win32_PlaceSearchDialog.h"
#include "platform/Win32.h"

namespace vantoril::win32view {

namespace {

const wchar_t* wideText(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Shows or hides the control as the model says; true when it is shown. A
// hidden control is brought up to date when it is shown again, so a run
// does not lay out page text that nobody sees.
bool mirrorVisibility(const ViewControl& view, const Control& model) {
  if ((::IsWindowVisible(view.hwnd) != FALSE) != model.visible())
    ::ShowWindow(view.hwnd, model.visible() ? SW_SHOWNA : SW_HIDE);
  return model.visible();
}

void mirrorText(ViewControl& view, const Control& model, const std::u16string& text) {
  if (!mirrorVisibility(view, model) || windowText(view.hwnd) == text) return;
  view.updating = true;
  setWindowText(view.hwnd, text);
  view.updating = false;
}

COLORREF colour(const Rgb& c) { return RGB(c.red, c.green, c.blue); }

// TTM_ADDTOOLW or TTM_UPDATETIPTEXTW: the list as the tool, with `text`.
void sendListTool(HWND tooltip, UINT message, HWND list, const std::u16string& text) {
  TTTOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = ::GetParent(list);
  tool.uId = reinterpret_cast<UINT_PTR>(list);
  tool.lpszText = const_cast<wchar_t*>(wideText(text));
  ::SendMessageW(tooltip, message, 0, reinterpret_cast<LPARAM>(&tool));
}

// The tooltip learns where the pointer is over the list from the list's
// mouse messages, handed on by a window procedure put in front of the
// list's own. (The tooltip's own way, a subclass of the list through
// TTF_SUBCLASS, looks up a window property on every message the list gets:
// a round trip to the wineserver under wine, a tenth of a millisecond, and
// seconds for a list of thousands of places filled one message each.)
struct TooltipRelay {
  WNDPROC listProc;
  ListCtrl* list;
};

LRESULT CALLBACK relayToTooltip(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* relay = reinterpret_cast<const TooltipRelay*>(::GetWindowLongPtrW(list, GWLP_USERDATA));
  const WNDPROC listProc = relay->listProc;
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
      const DWORD at = ::GetMessagePos();
      MSG msg{list, message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()),
              {GET_X_LPARAM(at), GET_Y_LPARAM(at)}};
      if (HWND tooltip = relay->list->ensureTooltip())
        ::SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
      break;
    }
    case WM_PAINT:
      // An empty list shows where to start, in grey over its empty rows.
      if (::SendMessageW(list, LB_GETCOUNT, 0, 0) == 0) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(list, &paint);
        RECT r{};
        ::GetClientRect(list, &r);
        ::FillRect(dc, &r, ::GetSysColorBrush(COLOR_WINDOW));
        ::InflateRect(&r, -3, -2);
        HGDIOBJ font = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)));
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
        const std::u16string hint(kEmptyListHint);
        ::DrawTextW(dc, wideText(hint), -1, &r, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        ::SelectObject(dc, font);
        ::EndPaint(list, &paint);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProc));
      ::SetWindowLongPtrW(list, GWLP_USERDATA, 0);
      delete relay;
      break;
    default:
      break;
  }
  return ::CallWindowProcW(listProc, list, message, wParam, lParam);
}
}  // namespace

HWND createControl(const CreateControlArgs& args) {
  const std::u16string text(args.text);
  // A control clips its siblings, so one beneath never paints over one above.
  HWND hwnd = ::CreateWindowExW(args.exStyle, args.className, wideText(text), args.style | WS_CHILD | WS_CLIPSIBLINGS,
                                args.rect.left, args.rect.top, args.rect.width, args.rect.height, args.parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), ::GetModuleHandleW(nullptr),
                                nullptr);
  if (!hwnd) win32::fail("无法创建窗口控件", ::GetLastError());
  if (args.font) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(args.font), FALSE);
  return hwnd;
}

int systemDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi;
}

HFONT createFont(const FontDesign& font, int dotsPerInch) {
  const std::wstring face = win32::wide(font.face);
  HFONT h = ::CreateFontW(-fontPixels(font.points, dotsPerInch), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                          GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  if (!h) win32::fail("无法创建字体", ::GetLastError());
  return h;
}

std::u16string windowText(HWND hwnd) {
  std::u16string text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, u'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size()))));
  return text;
}

void setWindowText(HWND hwnd, std::u16string_view text) { ::SetWindowTextW(hwnd, wideText(std::u16string(text))); }

void LabelCtrl::mirror() { mirrorText(*this, model, model.caption()); }

void ButtonCtrl::mirror() { mirrorText(*this, model, model.caption()); }

void ButtonCtrl::notified(WORD code) {
  if (code == BN_CLICKED) form.click(model);
}

// The coloured button: its background, a raised edge that sinks while
// pressed, the caption centred without access keys, a dotted frame when it
// has the focus.
void ButtonCtrl::draw(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  HBRUSH brush = ::CreateSolidBrush(design.background ? colour(*design.background) : ::GetSysColor(COLOR_BTNFACE));
  ::FillRect(dc, &r, brush);
  ::DeleteObject(brush);
  ::DrawEdge(dc, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  RECT textRect = r;
  if (pressed) ::OffsetRect(&textRect, 1, 1);
  ::SetBkMode(dc, TRANSPARENT);
  // Disabled (the record button during a run): the caption kept, greyed.
  ::SetTextColor(dc, ::GetSysColor(item.itemState & ODS_DISABLED ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  const std::u16string caption = windowText(hwnd);
  ::DrawTextW(dc, wideText(caption), -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) {
    RECT focus = r;
    ::InflateRect(&focus, -4, -4);
    ::DrawFocusRect(dc, &focus);
  }
}

void EditCtrl::mirror() { mirrorText(*this, model, model.text()); }

void EditCtrl::notified(WORD code) {
  if (code != EN_CHANGE || updating) return;
  form.userEdit(model, windowText(hwnd));
  mirror();  // the model may keep less than was typed
}

void ListCtrl::mirror() {
  if (!mirrorVisibility(*this, model)) return;
  // Entries change only by clearing and appending one at a time, so the
  // count tells what happened; a scan of many places stays linear.
  const auto& entries = model.entries();
  const int count = model.entryCount();
  const int shown = static_cast<int>(::SendMessageW(hwnd, LB_GETCOUNT, 0, 0));
  if (count != shown) {
    // The hint of the empty list comes or goes.
    if (count == 0 || shown == 0) ::InvalidateRect(hwnd, nullptr, TRUE);
    const bool many = count > shown + 1;
    if (many) ::SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    if (count < shown) ::SendMessageW(hwnd, LB_RESETCONTENT, 0, 0);
    const int from = count < shown ? 0 : shown;
    if (many) ::SendMessageW(hwnd, LB_INITSTORAGE, static_cast<WPARAM>(count - from), 0);
    for (int i = from; i < count; ++i)
      ::SendMessageW(hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideText(entries[static_cast<std::size_t>(i)])));
    if (many) {
      ::SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
      ::InvalidateRect(hwnd, nullptr, TRUE);
    }
  }
  const int selected = model.selectedIndex();
  if (static_cast<int>(::SendMessageW(hwnd, LB_GETCURSEL, 0, 0)) != selected) {
    ::SendMessageW(hwnd, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  }

  if (tooltip) sendListTool(tooltip, TTM_UPDATETIPTEXTW, hwnd, model.tooltip());
}

HWND ListCtrl::ensureTooltip() {
  if (tooltipTried) return tooltip;
  tooltipTried = true;
  try {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    tooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, ::GetParent(hwnd), nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  } catch (const std::exception&) {
    tooltip = nullptr;  // comctl32 could not be loaded
  }
  if (tooltip) sendListTool(tooltip, TTM_ADDTOOLW, hwnd, model.tooltip());
  return tooltip;
}

// A row chosen by mouse or keyboard is a click on the list; Windows tells a
// click on the row already selected too.
void ListCtrl::notified(WORD code) {
  if (code != LBN_SELCHANGE) return;
  const int row = static_cast<int>(::SendMessageW(hwnd, LB_GETCURSEL, 0, 0));
  if (row >= 0) form.userSelect(row);
  mirror();
}

// A right click selects the place under it, as a left click does (the
// list's click handling runs), then opens the menu: the entries of the
// place come first, then those of the whole program; below the last place
// only the latter, and the selection stays.
void ListCtrl::showMenu(LPARAM at) {
  POINT screen{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  int row = model.selectedIndex();
  if (screen.x == -1 && screen.y == -1) {
    RECT item{};
    if (row >= 0 && ::SendMessageW(hwnd, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) !=
                        LB_ERR) {
      screen = {item.left, item.bottom};
    } else {
      row = -1;
      screen = {0, 0};
    }
    ::ClientToScreen(hwnd, &screen);
  } else {
    POINT client = screen;
    ::ScreenToClient(hwnd, &client);
    const LRESULT hit =
        ::SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y)));
    row = HIWORD(hit) != 0 ? -1 : LOWORD(hit);  // -1 below the last entry
    if (row >= 0) {
      form.userSelect(row);
      mirror();
    }
  }
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  // Each entry's command is its Command + 1: TrackPopupMenu gives 0 for none.
  for (const ListMenuItem* item : listMenuEntries(row)) {
    if (!item) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::u16string text(menuEntry(item->command).text);
    ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item->command) + 1, wideText(text));
  }
  const auto chosen = static_cast<UINT_PTR>(::TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, ::GetParent(hwnd), nullptr));
  ::DestroyMenu(menu);
  if (chosen == 0) return;
  HWND owner = ::GetParent(hwnd);
  chooseCommand(form, static_cast<Command>(chosen - 1), row,
                {[owner] { return askPlaceByName(owner); },
                 [this, owner] { showScheduleDialog(owner, form.programFolder()); },
                 [owner](const std::string& suggested) { return win32view::askSavePath(owner, suggested); }});
}

std::unique_ptr<ViewControl> createViewControl(HWND parent, const ControlDesign& design, int id, int dotsPerInch,
                                               HFONT font, Form1& form) {
  CreateControlArgs args;
  args.parent = parent;
  args.rect = pixelRect(design, dotsPerInch);
  args.id = id;
  args.font = font;
  args.text = design.text;
  Control& model = *form.control(design.name);
  switch (design.kind) {
    case ControlKind::Label:
      // A static control without SS_NOTIFY lets clicks through to what lies beneath.
      args.className = L"STATIC";
      args.style = SS_LEFT | SS_NOPREFIX;
      return std::make_unique<LabelCtrl>(createControl(args), design, static_cast<Label&>(model));
    case ControlKind::CommandButton:
      args.className = L"BUTTON";
      args.style = BS_OWNERDRAW | WS_TABSTOP;
      return std::make_unique<ButtonCtrl>(createControl(args), design, form, static_cast<CommandButton&>(model));
    case ControlKind::TextBox: {
      args.className = L"EDIT";
      args.exStyle = WS_EX_CLIENTEDGE;
      args.style = WS_TABSTOP | ES_LEFT;
      if (design.multiLine) args.style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
      else args.style |= ES_AUTOHSCROLL;
      if (design.centred) args.style = (args.style & ~static_cast<DWORD>(ES_LEFT)) | ES_CENTER;
      if (design.passwordChar) args.style |= ES_PASSWORD;
      HWND hwnd = createControl(args);
      if (design.passwordChar) ::SendMessageW(hwnd, EM_SETPASSWORDCHAR, design.passwordChar, 0);
      // Without a limit of its own a box holds what the system allows, not 32767 characters.
      ::SendMessageW(hwnd, EM_SETLIMITTEXT, static_cast<WPARAM>(design.maxLength), 0);
      return std::make_unique<EditCtrl>(hwnd, design, form, static_cast<TextBox&>(model));
    }
    case ControlKind::ListBox: {
      args.className = L"LISTBOX";
      args.exStyle = WS_EX_CLIENTEDGE;
      args.style = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS;
      auto list = std::make_unique<ListCtrl>(createControl(args), design, form, static_cast<ListBox&>(model));
      HWND hwnd = list->hwnd;
      auto relay = std::make_unique<TooltipRelay>(TooltipRelay{nullptr, list.get()});
      relay->listProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(relay.release()));
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&relayToTooltip));
      return list;
    }
    case ControlKind::TransferControl:
      break;
  }
  return nullptr;
}

}  // namespace vantoril::win32view
