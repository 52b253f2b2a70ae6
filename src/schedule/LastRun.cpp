// The one place that reads the last recording run back for the schedule's
// state (the dialog and `--schedule`).
#include <cstdlib>

#include "runlog/RunLog.h"
#include "schedule/Schedule.h"

namespace vantoril::schedule {

std::string lastRunSummary(const std::string& folder) {
  const auto last = runlog::lastSummary(folder);
  if (!last) return {};
  const runlog::Counts& c = last->counts;
  // "2026-12-07 14:50:01" as "12月7日 14:50"; whether the run went well
  // the counts say, not its exit code.
  const std::string& t = last->time;
  const auto number = [&t](std::size_t at) { return std::to_string(std::atoi(t.substr(at, 2).c_str())); };
  std::string text = t.size() >= 16 ? number(5) + "月" + number(8) + "日 " + t.substr(11, 5) : t;
  text += "，" + std::to_string(c.places) + " 个地名：记录 " + std::to_string(c.recorded);
  if (c.kept > 0) text += "，暂存 " + std::to_string(c.kept);
  if (c.skipped > 0) text += "，跳过 " + std::to_string(c.skipped);
  if (c.failed > 0) text += "，错误 " + std::to_string(c.failed);
  if (!last->note.empty()) text += "（" + last->note + "）";
  return text;
}

}  // namespace vantoril::schedule
