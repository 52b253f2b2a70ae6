// The schedule's task, registered in the Task Scheduler (wine's registers
// and reads back; it fires nothing) and read back through ITaskService.
#include <windows.h>
#include <gtest/gtest.h>
#include <taskschd.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/Failure.h"
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

// The Task Scheduler, without the scheduler under test (in an apartment of
// the caller's); connected to its service unless told otherwise.
Ptr<ITaskService> taskService(bool connect = true) {
  Ptr<ITaskService> service;
  EXPECT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                               reinterpret_cast<void**>(service.put())),
            S_OK);
  if (service && connect) {
    EXPECT_EQ(service->Connect(none(), none(), none(), none()), S_OK);
  }
  return service;
}

// The task's XML as the Task Scheduler holds it; empty when there is no
// task. `folderExists` tells whether its folder is there.
std::wstring registeredXml(bool& folderExists) {
  com::Apartment apartment;
  Ptr<ITaskService> service = taskService();
  Ptr<ITaskFolder> folder;
  folderExists = SUCCEEDED(service->GetFolder(Bstr(std::wstring(L"\\") + kTaskFolder), folder.put()));
  Ptr<IRegisteredTask> task;
  Bstr xml;
  if (folderExists && SUCCEEDED(folder->GetTask(Bstr(kTaskName), task.put()))) {
    EXPECT_EQ(task->get_Xml(xml.put()), S_OK);
  }
  return xml.text();
}

bool folderExists() {
  bool exists = false;
  registeredXml(exists);
  return exists;
}

std::wstring registeredXml() {
  bool exists = false;
  return registeredXml(exists);
}

// The text of every <tag> element of `xml`, in order.
std::vector<std::wstring> elements(const std::wstring& xml, const std::wstring& tag) {
  std::vector<std::wstring> found;
  const std::wstring open = L"<" + tag + L">", close = L"</" + tag + L">";
  for (auto at = xml.find(open); at != std::wstring::npos; at = xml.find(open, at + 1)) {
    const auto from = at + open.size();
    found.push_back(xml.substr(from, xml.find(close, from) - from));
  }
  return found;
}

std::vector<std::wstring> clockTimes(const std::wstring& xml) {
  std::vector<std::wstring> times;
  for (const std::wstring& start : elements(xml, L"StartBoundary")) times.push_back(start.substr(start.find(L'T')));
  return times;
}

// Windows runs the Task Scheduler service always; wine starts it at its
// boot, but a session whose wineboot -i ran after the service started has
// it stopped for good (until the wineserver ends).
bool taskSchedulerAnswers() {
  com::Apartment apartment;
  Ptr<ITaskService> service;
  if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                reinterpret_cast<void**>(service.put()))))
    return false;
  return service->Connect(none(), none(), none(), none()) != SCHED_E_SERVICE_NOT_RUNNING;
}

TEST(TaskSchedulerSchedule, RegistersReplacesAndRemovesTheTaskInItsOwnFolder) {
  if (!taskSchedulerAnswers())
    GTEST_SKIP() << "the Task Scheduler service does not run in this wine session; it does after "
                    "scripts/wine.sh BUILD stop, then scripts/wine.sh BUILD run net start schedule";
  const std::string program = "C:\\Program Files\\Vantoril 100% 天气\\vantoril.exe";
  const auto scheduler = makeScheduler(program);
  scheduler->turnOff();  // a task left by an earlier run
  ASSERT_FALSE(folderExists());
  EXPECT_FALSE(scheduler->state().on);

  scheduler->turnOn({{8, 0}, {20, 30}});
  const std::wstring xml = registeredXml();
  ASSERT_FALSE(xml.empty());
  const struct {
    const wchar_t* tag;
    std::vector<std::wstring> texts;
  } expected[] = {
      {L"ExecutionTimeLimit", {L"PT1H"}},
      {L"StartWhenAvailable", {L"true"}},
      {L"MultipleInstancesPolicy", {L"IgnoreNew"}},
  };
  for (const auto& e : expected) EXPECT_EQ(elements(xml, e.tag), e.texts) << std::string(xml.begin(), xml.end());
  // Wine registers the task without its action and triggers (an empty
  // <Exec/> and <Triggers/>); a Task Scheduler that keeps them is checked.
  const bool wine = xml.find(L"<Exec/>") != std::wstring::npos;
  if (wine) {
    std::cout << "The Task Scheduler keeps no action or trigger (wine): their content is not checked.\n";
  } else {
    EXPECT_EQ(elements(xml, L"Command"), std::vector<std::wstring>{L"C:\\Program Files\\Vantoril 100% 天气\\vantoril.exe"});
    EXPECT_EQ(elements(xml, L"Arguments"), std::vector<std::wstring>{L"--record"});
    EXPECT_EQ(elements(xml, L"LogonType"), std::vector<std::wstring>{L"InteractiveToken"});
    EXPECT_EQ(clockTimes(xml), (std::vector<std::wstring>{L"T08:00:00", L"T20:30:00"}));
  }
  ScheduleState state = scheduler->state();
  EXPECT_TRUE(state.on);
  EXPECT_EQ(state.times, (std::vector<TimeOfDay>{{8, 0}, {20, 30}}));
  EXPECT_NE(state.how.find("\\Vantoril\\vantoril-record"), std::string::npos) << state.how;
  EXPECT_EQ(state.warning, "");

  // A task whose program is not where it was registered says so (wine keeps no program).
  if (!wine) {
    const ScheduleState moved = makeScheduler("C:\\elsewhere\\vantoril.exe")->state();
    EXPECT_NE(moved.warning.find(program + " 已不在"), std::string::npos) << moved.warning;
  }
  {
    // Disabled by the user (in the Task Scheduler's window): shown as off.
    std::wstring disabled = xml;
    const auto settings = disabled.find(L"<Settings>");
    ASSERT_NE(settings, std::wstring::npos);
    const auto enabled = disabled.find(L"<Enabled>true</Enabled>", settings);
    if (enabled != std::wstring::npos) disabled.replace(enabled, 23, L"<Enabled>false</Enabled>");
    else disabled.insert(settings + 10, L"<Enabled>false</Enabled>");
    com::Apartment apartment;
    Ptr<ITaskService> service = taskService();
    Ptr<ITaskFolder> folder;
    ASSERT_EQ(service->GetFolder(Bstr(std::wstring(L"\\") + kTaskFolder), folder.put()), S_OK);
    Ptr<IRegisteredTask> task;
    ASSERT_EQ(folder->RegisterTask(Bstr(kTaskName), Bstr(disabled), TASK_CREATE_OR_UPDATE, none(), none(),
                                   TASK_LOGON_INTERACTIVE_TOKEN, none(), task.put()),
              S_OK);
    const ScheduleState off = scheduler->state();
    EXPECT_FALSE(off.on);
    EXPECT_NE(off.warning.find("已被禁用"), std::string::npos) << off.warning;
  }

  // Other times replace the task's triggers.
  scheduler->turnOn({{7, 5}});
  if (!wine) {
    EXPECT_EQ(clockTimes(registeredXml()), (std::vector<std::wstring>{L"T07:05:00"}));
  }
  EXPECT_EQ(scheduler->state().times, (std::vector<TimeOfDay>{{7, 5}}));

  scheduler->turnOff();
  EXPECT_FALSE(folderExists());
  EXPECT_FALSE(scheduler->state().on);
  EXPECT_NO_THROW(scheduler->turnOff());
}

// The task's action as described, read back from the object the
// definition holds: wine registers no action or trigger, so only real
// Windows shows them in the registered task (checked above there).
TEST(TaskSchedulerSchedule, TheTaskRunsTheProgramWithRecordInItsFolder) {
  com::Apartment apartment;
  Ptr<ITaskService> service = taskService(false);
  Ptr<ITaskDefinition> task;
  ASSERT_EQ(service->NewTask(0, task.put()), S_OK);
  const Ptr<IExecAction> exec = describeTask(*task, "C:\\Vantoril 天气\\vantoril.exe", {{8, 0}}, "");
  ASSERT_TRUE(exec);
  Bstr path, arguments, folder;
  exec->get_Path(path.put());
  exec->get_Arguments(arguments.put());
  exec->get_WorkingDirectory(folder.put());
  EXPECT_EQ(path.text(), L"C:\\Vantoril 天气\\vantoril.exe");
  EXPECT_EQ(arguments.text(), L"--record --notify");
  EXPECT_EQ(folder.text(), L"C:\\Vantoril 天气");
}

// The Task Scheduler's own codes, which the system has no words for.
TEST(TaskSchedulerSchedule, AServiceThatDoesNotRunIsNamedInWords) {
  try {
    com::check(SCHED_E_SERVICE_NOT_RUNNING, "无法连接任务计划程序");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& e) {
    EXPECT_EQ(std::string(e.what()), "无法连接任务计划程序：任务计划程序服务没有运行 (0x80041315)");
  }
}

}  // namespace
}  // namespace vantoril::schedule
