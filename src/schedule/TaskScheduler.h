#pragma once
// The Windows task that records on a schedule: its place in the Task
// Scheduler and the rules it runs under.
#include <windows.h>
#include <taskschd.h>

#include <string>
#include <vector>

#include "schedule/Com_win32.h"
#include "schedule/Schedule.h"

namespace vantoril::schedule {

inline constexpr const wchar_t* kTaskFolder = L"Vantoril";
inline constexpr const wchar_t* kTaskName = L"vantoril-record";
// The longest a recording run may take before the Task Scheduler stops it.
inline constexpr const wchar_t* kTimeLimit = L"PT1H";

// Fills a new task definition: the program run with "--record" in its own
// folder, daily at `times`, with the settings above; gives the action it
// made. Throws Failure beginning with `what`.
com::Ptr<IExecAction> describeTask(ITaskDefinition& task, const std::string& programFile, const std::vector<TimeOfDay>& times,
                  const std::string& what);

}  // namespace vantoril::schedule
