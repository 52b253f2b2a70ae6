#include "export/Coverage.h"

#include <cstdio>

namespace vantoril::exporting {

std::string coverageText(const Coverage& c) {
  if (c.recorded == 0) return "还没有记录";
  const long long span = c.last - c.first + 1;
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.1f%%", 100.0 * static_cast<double>(c.missing) / static_cast<double>(span));
  std::string text = chart::hourText(c.first) + " 至 " + chart::hourText(c.last) + "：记录 " +
                     std::to_string(c.recorded) + " 小时，缺 " + std::to_string(c.missing) + " 小时（" + percent + "）；";
  if (c.longest.empty()) return text + "没有缺口";
  text += "最长的缺口：";
  for (std::size_t k = 0; k < c.longest.size(); ++k)
    text += (k > 0 ? "、" : "") + chart::hourText(c.longest[k].start) + "起 " + std::to_string(c.longest[k].hours) +
            " 小时";
  return text;
}

}  // namespace vantoril::exporting
