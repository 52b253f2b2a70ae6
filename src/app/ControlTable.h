#pragma once
// The window as designed: every control with its kind, name, caption or
// initial text, place (twips), tab position, colours and font. The model
// takes names, texts and limits from here; the views (Qt, Win32) build
// the window from it.
#include <optional>
#include <span>
#include <string_view>

namespace vantoril {

enum class ControlKind { Label, CommandButton, TextBox, ListBox, TransferControl };

struct Rgb {
  int red, green, blue;
};

struct FontDesign {
  std::u16string_view face;
  double points;
};

struct ControlDesign {
  std::string_view name;
  ControlKind kind;
  std::u16string_view text;  // caption or initial text
  int left, top, width, height;  // twips
  int tab;                       // position in the tab order; -1 for none
  std::optional<Rgb> background = {};
  std::optional<Rgb> foreground = {};
  std::optional<FontDesign> font = {};
  bool multiLine = false;  // with a vertical scroll bar
  bool centred = false;
  char16_t passwordChar = 0;
  int maxLength = 0;  // 0: no limit
};

inline constexpr int kClientWidthTwips = 15330;
inline constexpr int kClientHeightTwips = 8550;
inline constexpr std::u16string_view kWindowCaption = u"Vantoril v 1.0";

// The 40 controls in the order the design stores them.
std::span<const ControlDesign> controlTable();
const ControlDesign& controlDesign(std::string_view name);

}  // namespace vantoril
