// The schedule's task, registered in the Task Scheduler (wine's registers
// and reads back; it fires nothing) and read back through ITaskService.
#include <windows.h>
#include <gtest/gtest.h>
#include <taskschd.h>

#include <string>
#include <vector>

#include "schedule/Com_win32.h"
#include "schedule/Schedule.h"
#include "schedule/TaskScheduler.h"

namespace vantoril::schedule {
namespace {

using com::Bstr;
using com::Ptr;

VARIANT none() {
  VARIANT v;
  ::VariantInit(&v);
  return v;
}

// The task as the Task Scheduler holds it, read without the scheduler under test.
struct Registered {
  bool folderExists = false;
  bool taskExists = false;
  std::wstring path, arguments, timeLimit;
  VARIANT_BOOL startWhenAvailable = VARIANT_FALSE;
  TASK_INSTANCES_POLICY instances = TASK_INSTANCES_PARALLEL;
  TASK_LOGON_TYPE logon = TASK_LOGON_NONE;
  std::vector<std::wstring> dailyStarts;
};

Registered readBack() {
  com::Apartment apartment;
  Registered r;
  Ptr<ITaskService> service;
  EXPECT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                               reinterpret_cast<void**>(service.put())),
            S_OK);
  EXPECT_EQ(service->Connect(none(), none(), none(), none()), S_OK);
  Ptr<ITaskFolder> folder;
  r.folderExists = SUCCEEDED(service->GetFolder(Bstr(std::wstring(L"\\") + kTaskFolder), folder.put()));
  Ptr<IRegisteredTask> task;
  if (!r.folderExists || FAILED(folder->GetTask(Bstr(kTaskName), task.put()))) return r;
  r.taskExists = true;
  Ptr<ITaskDefinition> definition;
  EXPECT_EQ(task->get_Definition(definition.put()), S_OK);
  Ptr<IActionCollection> actions;
  Ptr<IAction> action;
  definition->get_Actions(actions.put());
  EXPECT_EQ(actions->get_Item(1, action.put()), S_OK);
  if (Ptr<IExecAction> exec = action.as<IExecAction>()) {
    Bstr path, arguments;
    exec->get_Path(path.put());
    exec->get_Arguments(arguments.put());
    r.path = path.text();
    r.arguments = arguments.text();
  }
  Ptr<ITaskSettings> settings;
  definition->get_Settings(settings.put());
  Bstr limit;
  settings->get_ExecutionTimeLimit(limit.put());
  r.timeLimit = limit.text();
  settings->get_StartWhenAvailable(&r.startWhenAvailable);
  settings->get_MultipleInstances(&r.instances);
  Ptr<IPrincipal> principal;
  definition->get_Principal(principal.put());
  principal->get_LogonType(&r.logon);
  Ptr<ITriggerCollection> triggers;
  definition->get_Triggers(triggers.put());
  LONG count = 0;
  triggers->get_Count(&count);
  for (LONG i = 1; i <= count; ++i) {
    Ptr<ITrigger> trigger;
    triggers->get_Item(i, trigger.put());
    TASK_TRIGGER_TYPE2 type{};
    trigger->get_Type(&type);
    Bstr start;
    trigger->get_StartBoundary(start.put());
    if (type == TASK_TRIGGER_DAILY) r.dailyStarts.push_back(start.text().substr(start.text().find(L'T')));
  }
  return r;
}

TEST(TaskSchedulerSchedule, RegistersReplacesAndRemovesTheTaskInItsOwnFolder) {
  const std::string program = "C:\\Program Files\\Vantoril 100% 天气\\vantoril.exe";
  const auto scheduler = makeScheduler(program);
  scheduler->turnOff();  // a task left by an earlier run
  ASSERT_FALSE(readBack().folderExists);
  EXPECT_FALSE(scheduler->state().on);

  scheduler->turnOn({{8, 0}, {20, 30}});
  Registered r = readBack();
  ASSERT_TRUE(r.taskExists);
  EXPECT_EQ(r.path, L"C:\\Program Files\\Vantoril 100% 天气\\vantoril.exe");
  EXPECT_EQ(r.arguments, L"--record");
  EXPECT_EQ(r.timeLimit, L"PT1H");
  EXPECT_EQ(r.startWhenAvailable, VARIANT_TRUE);
  EXPECT_EQ(r.instances, TASK_INSTANCES_IGNORE_NEW);
  EXPECT_EQ(r.logon, TASK_LOGON_INTERACTIVE_TOKEN);
  EXPECT_EQ(r.dailyStarts, (std::vector<std::wstring>{L"T08:00:00", L"T20:30:00"}));
  ScheduleState state = scheduler->state();
  EXPECT_TRUE(state.on);
  EXPECT_EQ(state.times, (std::vector<TimeOfDay>{{8, 0}, {20, 30}}));
  EXPECT_NE(state.how.find("\\Vantoril\\vantoril-record"), std::string::npos) << state.how;

  // Other times replace the task's triggers.
  scheduler->turnOn({{7, 5}});
  EXPECT_EQ(readBack().dailyStarts, (std::vector<std::wstring>{L"T07:05:00"}));
  EXPECT_EQ(scheduler->state().times, (std::vector<TimeOfDay>{{7, 5}}));

  scheduler->turnOff();
  EXPECT_FALSE(readBack().folderExists);
  EXPECT_FALSE(scheduler->state().on);
  EXPECT_NO_THROW(scheduler->turnOff());
}

}  // namespace
}  // namespace vantoril::schedule
