#include "app/ViewDesign.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

std::string messageFitting(std::string_view message, int screenHeight, int lineHeight, int lineWidth, int wideWidth) {
  const int room = std::max(1, (screenHeight - kBoxReserved) / std::max(1, lineHeight));
  const int halfWidth = std::max(1, wideWidth / 2);
  const int perLine = std::max(1, lineWidth / halfWidth);  // half-width characters a line holds
  // The rows each line of the message takes once wrapped.
  std::vector<std::pair<std::size_t, int>> lines;  // where each line ends, and its rows
  int rows = 0;
  for (std::size_t start = 0; start <= message.size();) {
    const std::size_t end = std::min(message.find('\n', start), message.size());
    int width = 0;
    for (std::size_t i = start; i < end; ++i) {
      const auto byte = static_cast<unsigned char>(message[i]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte of UTF-8
      width += byte >= 0xE0 ? 2 : 1;        // three bytes and more: wide
    }
    const int taken = std::max(1, (width + perLine - 1) / perLine);
    rows += taken;
    lines.emplace_back(end, taken);
    start = end + 1;
  }
  if (rows <= room) return std::string(message);
  // The lines that fit, with one row kept for the last line.
  int used = 0;
  std::size_t kept = 0, cut = 0;
  while (kept < lines.size() && used + lines[kept].second <= room - 2) {
    used += lines[kept].second;
    cut = lines[kept].first;
    ++kept;
  }
  return std::string(message.substr(0, cut)) + "\n……（另有 " + std::to_string(lines.size() - kept) + " 行未显示）";
}

}  // namespace vantoril
