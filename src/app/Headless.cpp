#include "app/Headless.h"

#include <iostream>
#include <thread>

#include "app/ConsoleServices.h"
#include "app/Form1.h"
#include "notify/Notifier.h"
#include "platform/PlatformServices.h"
#include "platform/RunLock.h"
#include "platform/Text.h"
#include "runlog/RunLog.h"

namespace vantoril {

namespace {

class PrintingObserver final : public RunObserver {
 public:
  void placeRecorded(const std::u16string& place, const std::u16string& time) override {
    std::cout << toUtf8(place) << '\t' << toUtf8(time) << std::endl;
  }
  void placeKept(const std::u16string& place, const std::u16string& time, const std::string& cause) override {
    std::cout << toUtf8(place) << '\t' << toUtf8(time) << "\t暂存：" << keptText(cause) << std::endl;
  }
  void placeSkipped(const std::u16string& place, const std::string& why) override {
    std::cout << toUtf8(place) << "\t跳过：" << why << std::endl;
  }
  void placeFailed(const std::u16string& place, const std::string& cause) override {
    std::cout << toUtf8(place) << "\t错误：" << cause << std::endl;
  }
};

}  // namespace

bool waitForRunLock(RunLock& lock, std::chrono::milliseconds limit, std::chrono::milliseconds poll,
                    const std::function<void()>& waiting) {
  if (lock.tryAcquire()) return true;
  if (waiting) waiting();
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(poll);
    if (lock.tryAcquire()) return true;
  }
  return false;
}

void endAfter(const std::string& programFolder, int exitCode, std::chrono::milliseconds limit) {
  std::thread([programFolder, exitCode, limit] {
    std::this_thread::sleep_for(limit);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(limit).count();
    runlog::RunLog(programFolder, false)
        .notice("运行结束 " + std::to_string(seconds) + " 秒后程序还没有退出，已结束它", runlog::kEndedMark);
    endProcessNow(exitCode);
  }).detach();
}

// The notification of a run the schedule started, when it has something
// to tell; the log says whether it was shown. The run's result stays as it
// is. Without the run lock, the log is not cut.
void tellPerson(const std::string& programFolder, notify::Notifier* notifier,
                const std::vector<notify::PlaceNote>& notes, const std::string& notRun) {
  if (!notifier) return;
  const auto notification = notify::runNotification(notes, notRun, runlog::logPath(programFolder));
  if (!notification) return;
  runlog::RunLog log(programFolder, false);
  try {
    notifier->show(*notification);
    log.notice("已显示：" + notification->title);
  } catch (const std::exception& e) {
    log.notice(std::string("通知无法显示：") + e.what());
  }
}

int recordHeadless(const std::string& programFolder, notify::Notifier* notifier,
                   const std::function<void(int exitCode)>& over) {
  const auto lock = makeRunLock(programFolder);
  const std::string minutes = std::to_string(kLongestWait.count());
  if (!waitForRunLock(*lock, kLongestWait, std::chrono::milliseconds(250), [&] {
        std::cerr << "另一次记录正在进行，等它结束后再记录（最多等 " << minutes << " 分钟）" << std::endl;
      })) {
    const std::string why = "另一次记录进行了 " + minutes + " 分钟还没有结束，本次记录放弃";
    std::cerr << why << std::endl;
    // Without the lock: the line is added, the log is not cut.
    runlog::RunLog(programFolder, false).summary({}, kExitGaveUp, why);
    if (over) over(kExitGaveUp);
    tellPerson(programFolder, notifier, {}, why);
    return kExitGaveUp;
  }
  const auto downloader = makeDownloader();
  const auto starter = makeProcessStarter();
  NoInput input;
  StreamReport report;
  PrintingObserver observer;
  Form1 form(programFolder, {*downloader, *starter, input, report, &observer, lock.get()});
  if (!form.load()) {
    runlog::RunLog(programFolder).summary({}, 1, "启动失败：" + report.last);
    lock->release();
    if (over) over(1);
    tellPerson(programFolder, notifier, {}, "启动失败：" + report.last);
    return 1;
  }
  form.click(form.Command1);
  // The run is over: its lock goes before anything that may wait.
  lock->release();
  if (over) over(form.lastRunExitCode());
  tellPerson(programFolder, notifier, form.lastRunNotes(), {});
  return form.lastRunExitCode();
}

}  // namespace vantoril
