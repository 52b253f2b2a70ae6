// The schedule on Windows: a task of the Task Scheduler in a folder of its
// own, registered through ITaskService for the current user.
#include <windows.h>
#include <taskschd.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string_view>
#include <utility>

#include "platform/Failure.h"
#include "platform/Win32.h"
#include "schedule/Com_win32.h"
#include "schedule/Schedule.h"
#include "schedule/TaskScheduler.h"

namespace vantoril::schedule {

namespace com {

void check(HRESULT hr, const std::string& what) {
  if (SUCCEEDED(hr)) return;
  wchar_t* message = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text = message ? message : L"";
  if (message) ::LocalFree(message);
  // The system has no words for the Task Scheduler's own codes.
  if (hr == SCHED_E_SERVICE_NOT_RUNNING) text = L"任务计划程序服务没有运行";
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  throw Failure(what + "：" + (text.empty() ? std::string() : win32::utf8(text) + " ") + "(" + code + ")");
}

}  // namespace com

namespace {

using com::Bstr;
using com::check;
using com::Ptr;

VARIANT none() {
  VARIANT v;
  ::VariantInit(&v);
  return v;
}

std::wstring taskPath() { return std::wstring(L"\\") + kTaskFolder + L"\\" + kTaskName; }

const std::string kWhat = "任务计划程序";
// The task's description, which ends in its times.
constexpr std::string_view kDescription = "Vantoril 每天定时记录天气：";

Ptr<ITaskService> connect() {
  Ptr<ITaskService> service;
  check(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                           reinterpret_cast<void**>(service.put())),
        "无法打开" + kWhat);
  check(service->Connect(none(), none(), none(), none()), "无法连接" + kWhat);
  return service;
}

Ptr<ITaskFolder> folder(ITaskService& service, const std::wstring& path) {
  Ptr<ITaskFolder> found;
  if (FAILED(service.GetFolder(Bstr(path), found.put()))) found.reset();
  return found;
}

// "2026-12-07T08:30:00" (a start boundary in local time) to 08:30.
bool timeOfBoundary(const std::wstring& boundary, TimeOfDay& time) {
  const auto t = boundary.find(L'T');
  int hour = -1, minute = -1;
  if (t == std::wstring::npos || std::swscanf(boundary.c_str() + t + 1, L"%d:%d", &hour, &minute) != 2) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return false;
  time = {hour, minute};
  return true;
}

}  // namespace

// What the task does and when: the program with "--record", daily at
// `times`, under the rules of kTimeLimit and the settings below. `what`
// begins the message of a failure.
com::Ptr<IExecAction> describeTask(ITaskDefinition& task, const std::string& programFile, const std::vector<TimeOfDay>& times,
                  const std::string& what) {
  Ptr<IRegistrationInfo> info;
  check(task.get_RegistrationInfo(info.put()), what);
  info->put_Author(Bstr(L"Vantoril"));
  info->put_Description(Bstr(win32::wide(std::string(kDescription) + timesText(times))));

  Ptr<IPrincipal> principal;
  check(task.get_Principal(principal.put()), what);
  // Registration below says it again (wine implements only that one).
  const HRESULT logon = principal->put_LogonType(TASK_LOGON_INTERACTIVE_TOKEN);
  if (logon != E_NOTIMPL) check(logon, what);

  Ptr<ITaskSettings> settings;
  check(task.get_Settings(settings.put()), what);
  check(settings->put_StartWhenAvailable(VARIANT_TRUE), what);
  check(settings->put_MultipleInstances(TASK_INSTANCES_IGNORE_NEW), what);
  check(settings->put_ExecutionTimeLimit(Bstr(kTimeLimit)), what);
  // On batteries too, where the system lets a task choose.
  settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
  settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);

  Ptr<ITriggerCollection> triggers;
  check(task.get_Triggers(triggers.put()), what);
  SYSTEMTIME today{};
  ::GetLocalTime(&today);
  for (const TimeOfDay& t : times) {
    Ptr<ITrigger> trigger;
    check(triggers->Create(TASK_TRIGGER_DAILY, trigger.put()), what);
    Ptr<IDailyTrigger> daily = trigger.as<IDailyTrigger>();
    if (!daily) throw Failure(what + "：每日触发器不可用");
    wchar_t start[32];
    std::swprintf(start, 32, L"%04u-%02u-%02uT%02d:%02d:00", today.wYear, today.wMonth, today.wDay, t.hour,
                  t.minute);
    check(daily->put_StartBoundary(Bstr(start)), what);
    check(daily->put_DaysInterval(1), what);
  }

  Ptr<IActionCollection> actions;
  check(task.get_Actions(actions.put()), what);
  Ptr<IAction> action;
  check(actions->Create(TASK_ACTION_EXEC, action.put()), what);
  Ptr<IExecAction> exec = action.as<IExecAction>();
  if (!exec) throw Failure(what + "：运行程序的操作不可用");
  check(exec->put_Path(Bstr(win32::wide(programFile))), what);
  check(exec->put_Arguments(Bstr(win32::wide(kScheduledArguments))), what);
  const auto slash = programFile.find_last_of("\\/");
  if (slash != std::string::npos) check(exec->put_WorkingDirectory(Bstr(win32::wide(programFile.substr(0, slash)))), what);
  return exec;
}

namespace {

class TaskScheduler final : public Scheduler {
 public:
  explicit TaskScheduler(std::string programFile) : programFile_(std::move(programFile)) {}

  ScheduleState state() override {
    com::Apartment apartment;
    Ptr<ITaskService> service = connect();
    ScheduleState state;
    state.note = "任务计划程序以你的身份运行，只在你登录期间运行；错过的记录在下次可运行时补上。";
    Ptr<ITaskFolder> ours = folder(*service, std::wstring(L"\\") + kTaskFolder);
    Ptr<IRegisteredTask> task;
    if (!ours || FAILED(ours->GetTask(Bstr(kTaskName), task.put()))) return state;
    state.how = "任务计划程序 " + win32::utf8(taskPath());
    VARIANT_BOOL enabled = VARIANT_FALSE;
    check(task->get_Enabled(&enabled), "无法读取任务 " + win32::utf8(taskPath()));
    // A disabled task is off, with the reason; one whose program moved is
    // on, with the reason. OK in the dialog registers it again.
    state.on = enabled != VARIANT_FALSE;
    DATE next = 0;
    // Not through VariantTimeToSystemTime: see the delay-loaded DLLs in cmake/Windows.cmake.
    if (SUCCEEDED(task->get_NextRunTime(&next))) state.nextRun = automationDateText(next);
    state.times = taskTimes(*task);
    state.warning = cannotRun(*task, enabled != VARIANT_FALSE);
    if (!state.warning.empty()) state.nextRun = "不会运行";
    return state;
  }

  void turnOn(const std::vector<TimeOfDay>& times) override {
    if (times.empty()) throw Failure("定时记录至少要有一个时间");
    com::Apartment apartment;
    Ptr<ITaskService> service = connect();
    const std::string what = "无法登记任务 " + win32::utf8(taskPath());
    Ptr<ITaskFolder> ours = folder(*service, std::wstring(L"\\") + kTaskFolder);
    if (!ours) {
      Ptr<ITaskFolder> root = folder(*service, L"\\");
      if (!root) throw Failure(what + "：找不到任务计划程序的根文件夹");
      check(root->CreateFolder(Bstr(kTaskFolder), none(), ours.put()), what);
    }
    Ptr<ITaskDefinition> task;
    check(service->NewTask(0, task.put()), what);

    describeTask(*task, programFile_, times, what);

    Ptr<IRegisteredTask> registered;
    check(ours->RegisterTaskDefinition(Bstr(kTaskName), task.get(), TASK_CREATE_OR_UPDATE, none(), none(),
                                       TASK_LOGON_INTERACTIVE_TOKEN, none(), registered.put()),
          what);
  }

  void turnOff() override {
    com::Apartment apartment;
    Ptr<ITaskService> service = connect();
    Ptr<ITaskFolder> ours = folder(*service, std::wstring(L"\\") + kTaskFolder);
    if (!ours) return;
    Ptr<IRegisteredTask> task;
    if (SUCCEEDED(ours->GetTask(Bstr(kTaskName), task.put())))
      check(ours->DeleteTask(Bstr(kTaskName), 0), "无法删除任务 " + win32::utf8(taskPath()));
    // The folder goes too when nothing else is in it (the system refuses
    // to delete a folder that is not empty).
    Ptr<ITaskFolder> root = folder(*service, L"\\");
    const HRESULT removed = root ? root->DeleteFolder(Bstr(kTaskFolder), 0) : S_OK;
    if (removed != HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY))
      check(removed, "无法删除任务文件夹 \\" + win32::utf8(kTaskFolder));
  }

 private:
  // The times of the task's triggers, from its XML (which every Task
  // Scheduler gives). Wine keeps no trigger in it: there the times come
  // from the description the task was registered with.
  static std::vector<TimeOfDay> taskTimes(IRegisteredTask& task) {
    std::vector<TimeOfDay> times;
    Bstr xml;
    if (FAILED(task.get_Xml(xml.put()))) return times;
    const std::string text = win32::utf8(xml.text());
    static constexpr std::string_view tag = "<StartBoundary>";
    for (auto at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
      TimeOfDay time;
      const auto end = text.find('<', at + tag.size());
      if (timeOfBoundary(win32::wide(text.substr(at + tag.size(), end - at - tag.size())), time))
        times.push_back(time);
    }
    const auto described = text.find(kDescription);
    if (times.empty() && described != std::string::npos) {
      const auto from = described + kDescription.size();
      try {
        times = parseTimes(text.substr(from, text.find('<', from) - from));
      } catch (const Failure&) {
        // a description edited by hand: no times known
      }
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
  }

  // Why the task cannot run; empty when nothing says it cannot.
  std::string cannotRun(IRegisteredTask& task, bool enabled) const {
    const std::string again = "；请在这里按确定重新登记";
    if (!enabled)
      return "任务 " + win32::utf8(taskPath()) + " 已被禁用，定时记录不会发生：请在任务计划程序中启用它" + again;
    const std::string command = taskCommand(task);
    if (command.empty() || sameFile(command, programFile_)) return {};
    if (::GetFileAttributesW(win32::wide(command).c_str()) == INVALID_FILE_ATTRIBUTES)
      return "任务运行的程序 " + command + " 已不在（程序移动过？），定时记录不会发生" + again;
    return {};
  }

  static bool sameFile(const std::string& a, const std::string& b) {
    return ::CompareStringOrdinal(win32::wide(a).c_str(), -1, win32::wide(b).c_str(), -1, TRUE) == CSTR_EQUAL;
  }

  // The program the task starts, from its XML (<Command>, with the XML's
  // escapes read back); empty when it says none.
  static std::string taskCommand(IRegisteredTask& task) {
    Bstr xml;
    if (FAILED(task.get_Xml(xml.put()))) return {};
    const std::string text = win32::utf8(xml.text());
    static constexpr std::string_view tag = "<Command>";
    const auto at = text.find(tag);
    if (at == std::string::npos) return {};
    const auto from = at + tag.size();
    const std::string_view escaped = std::string_view(text).substr(from, text.find('<', from) - from);
    static constexpr std::pair<std::string_view, char> escapes[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string command;
    for (std::size_t i = 0; i < escaped.size();) {
      bool replaced = false;
      for (const auto& [entity, c] : escapes) {
        if (escaped.substr(i, entity.size()) == entity) {
          command += c;
          i += entity.size();
          replaced = true;
          break;
        }
      }
      if (!replaced) command += escaped[i++];
    }
    // A path given in quotes.
    if (command.size() >= 2 && command.front() == '"' && command.back() == '"') command = command.substr(1, command.size() - 2);
    return command;
  }

  std::string programFile_;
};

}  // namespace

std::unique_ptr<Scheduler> makeScheduler(const std::string& programFile) {
  return std::make_unique<TaskScheduler>(programFile);
}

}  // namespace vantoril::schedule
