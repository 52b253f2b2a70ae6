#include "schedule/ScheduleDialog.h"

#include <iostream>
#include <utility>

#include "platform/Failure.h"
#include "platform/FileSystem.h"

namespace vantoril::schedule {

ScheduleDialogModel::ScheduleDialogModel(Scheduler& scheduler, std::function<std::string()> lastRun)
    : scheduler_(scheduler), lastRun_(std::move(lastRun)) {}

std::unique_ptr<ScheduleDialogModel> ScheduleDialogModel::open(const std::string& programFolder) {
  auto scheduler = makeScheduler(programFile());
  auto model = std::make_unique<ScheduleDialogModel>(*scheduler, [programFolder] { return lastRunSummary(programFolder); });
  model->owned_ = std::move(scheduler);
  model->refresh();
  return model;
}

void ScheduleDialogModel::refresh() {
  const std::string lastRun = lastRun_ ? lastRun_() : std::string();
  try {
    const ScheduleState state = scheduler_.state();
    on_ = state.on;
    warning_ = state.warning;
    keepsRunning_ = state.keepsRunning;
    timesText_ = schedule::timesText(state.times.empty() ? kDefaultTimes : state.times);
    stateText_ = schedule::stateText(state, lastRun);
  } catch (const std::exception& e) {
    on_ = false;
    warning_.clear();
    keepsRunning_.reset();
    timesText_ = schedule::timesText(kDefaultTimes);
    stateText_ = std::string("无法读取定时记录的状态：") + e.what() + "\n上次运行：" +
                 (lastRun.empty() ? std::string(kNoRunYet) : lastRun) + '\n';
  }
}

std::string ScheduleDialogModel::apply(bool on, const std::string& timesText, std::optional<bool> keepRunning) {
  try {
    if (on) scheduler_.turnOn(parseTimes(timesText));
    else scheduler_.turnOff();
  } catch (const std::exception& e) {
    return e.what();
  }
  std::string refused;
  if (keepRunning && keepsRunning_ && *keepRunning != *keepsRunning_) {
    try {
      scheduler_.keepRunningAfterLogout(*keepRunning);
    } catch (const std::exception& e) {
      refused = e.what();
    }
  }
  refresh();
  return refused;
}

int scheduleCommand(Scheduler& scheduler, const std::string& lastRun, const std::string& value, std::ostream& out,
                    std::ostream& err) {
  if (value == "off") scheduler.turnOff();
  else if (!value.empty()) scheduler.turnOn(parseTimes(value));
  ScheduleState state = scheduler.state();
  const std::string warning = std::exchange(state.warning, {});
  out << stateText(state, lastRun);
  if (!warning.empty()) err << warning << std::endl;
  return 0;
}

int runScheduleMode(const std::string& programFolder, const std::string& value) {
  const auto scheduler = makeScheduler(programFile());
  return scheduleCommand(*scheduler, lastRunSummary(programFolder), value, std::cout, std::cerr);
}

}  // namespace vantoril::schedule
