#pragma once
// What every view of the window takes from the control table alike: the
// twips-to-pixel arithmetic, the window's own font, which controls get a
// window of their own and in which order they are stacked and tabbed.
#include <string>
#include <string_view>
#include <vector>

#include "app/ControlTable.h"

namespace vantoril {

struct PixelRect {
  int left, top, width, height;
};

// 1440 twips to the inch: at 96 dots per inch 15 twips are one pixel.
int twipsToPixels(int twips, int dotsPerInch);
PixelRect pixelRect(const ControlDesign& design, int dotsPerInch);
PixelRect clientRect(int dotsPerInch);
// The character height of a font of `points` size, in pixels.
int fontPixels(double points, int dotsPerInch);

// The font of the window itself, which every control without a font of its
// own uses: the Song face at 9 point, as a Chinese Windows gives a form.
inline constexpr FontDesign kWindowFont{u"宋体", 9};

// The buttons of the program's own dialogs (the input box, the search for a
// place, the schedule), as a Chinese Windows names them.
inline constexpr std::u16string_view kOkCaption = u"确定";
inline constexpr std::u16string_view kCancelCaption = u"取消";

// Labels are drawn, take neither the focus nor clicks, and lie beneath the
// other controls where they overlap (Label2 over List1, Label6 over Text14).
inline bool isLabel(const ControlDesign& design) { return design.kind == ControlKind::Label; }

// The controls shown on the window (every one but the transfer control),
// from the top of the stack down: the focusable ones in tab order (the
// record button first), then the labels.
std::vector<const ControlDesign*> stackingOrder();

// A message for a box on a screen `screenHeight` pixels high, whose lines
// are `lineHeight` pixels apart and wrap past `lineWidth` pixels, a wide
// (Chinese) character taking `wideWidth` pixels and any other half that:
// the message itself when the box fits; else its first lines, and
// "……（另有 N 行未显示）". The box's frame, icon and button take
// kBoxReserved pixels beside the lines.
inline constexpr int kBoxReserved = 160;
std::string messageFitting(std::string_view message, int screenHeight, int lineHeight, int lineWidth, int wideWidth);

}  // namespace vantoril
