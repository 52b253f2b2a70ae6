// The one place that reads the last recording run back for the schedule's
// state (the dialog and `--schedule`).
#include "runlog/RunLog.h"
#include "schedule/Schedule.h"

namespace vantoril::schedule {

std::string lastRunSummary(const std::string& folder) {
  const auto last = runlog::lastSummary(folder);
  if (!last) return {};
  const runlog::Counts& c = last->counts;
  std::string text = last->time + "，" + std::to_string(c.places) + " 个地名：记录 " + std::to_string(c.recorded);
  if (c.kept > 0) text += "，暂存 " + std::to_string(c.kept);
  if (c.skipped > 0) text += "，跳过 " + std::to_string(c.skipped);
  if (c.failed > 0) text += "，错误 " + std::to_string(c.failed);
  text += "，退出码 " + std::to_string(last->exitCode);
  if (!last->note.empty()) text += "（" + last->note + "）";
  return text;
}

}  // namespace vantoril::schedule
