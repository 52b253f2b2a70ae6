#pragma once
// The Windows task that records on a schedule: its place in the Task
// Scheduler and the rules it runs under.
namespace vantoril::schedule {

inline constexpr const wchar_t* kTaskFolder = L"Vantoril";
inline constexpr const wchar_t* kTaskName = L"vantoril-record";
// The longest a recording run may take before the Task Scheduler stops it.
inline constexpr const wchar_t* kTimeLimit = L"PT1H";

}  // namespace vantoril::schedule
