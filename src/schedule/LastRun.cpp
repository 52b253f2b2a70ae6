// The one place that reads the last recording run back for the schedule's
// state (the dialog and `--schedule`).
#include "schedule/Schedule.h"

namespace vantoril::schedule {

std::string lastRunSummary(const std::string& programFolder) {
  // TO CONNECT AT THE MERGE: return the last summary line of the run log
  // (vantoril.log in `programFolder`) through its reader; until then the
  // state says no run was recorded.
  (void)programFolder;
  return {};
}

}  // namespace vantoril::schedule
