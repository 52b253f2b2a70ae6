#include "app/ViewDesign.h"

#include <algorithm>
#include <cmath>

namespace vantoril {

int twipsToPixels(int twips, int dotsPerInch) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dotsPerInch / 1440.0));
}

PixelRect pixelRect(const ControlDesign& design, int dotsPerInch) {
  // Edges, not sizes, are rounded, so controls that touch in twips touch on screen.
  const int left = twipsToPixels(design.left, dotsPerInch), top = twipsToPixels(design.top, dotsPerInch);
  return {left, top, twipsToPixels(design.left + design.width, dotsPerInch) - left,
          twipsToPixels(design.top + design.height, dotsPerInch) - top};
}

PixelRect clientRect(int dotsPerInch) {
  return {0, 0, twipsToPixels(kClientWidthTwips, dotsPerInch), twipsToPixels(kClientHeightTwips, dotsPerInch)};
}

int fontPixels(double points, int dotsPerInch) { return static_cast<int>(std::lround(points * dotsPerInch / 72.0)); }

std::vector<const ControlDesign*> stackingOrder() {
  std::vector<const ControlDesign*> order;
  for (const ControlDesign& design : controlTable())
    if (design.kind != ControlKind::TransferControl) order.push_back(&design);
  std::stable_sort(order.begin(), order.end(), [](const ControlDesign* a, const ControlDesign* b) {
    if (isLabel(*a) != isLabel(*b)) return isLabel(*b);
    return a->tab < b->tab;
  });
  return order;
}

}  // namespace vantoril
