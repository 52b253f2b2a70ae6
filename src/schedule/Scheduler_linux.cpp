// The schedule on Linux: a systemd user timer, or the user's crontab where
// no systemd user manager answers.
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Posix.h"
#include "schedule/LinuxSchedule.h"
#include "schedule/Schedule.h"
#include "schedule/ScheduleDialog.h"

extern char** environ;

namespace vantoril::schedule {

namespace {

struct Outcome {
  int status = -1;  // the exit code; -1 when it did not exit normally
  std::string out, err;
};

struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() {
    if (::pipe2(fd, O_CLOEXEC) != 0) failWithErrno("无法创建管道", errno);
  }
  ~Pipe() {
    closeEnd(0);
    closeEnd(1);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  void closeEnd(int i) {
    if (fd[i] >= 0) ::close(fd[i]);
    fd[i] = -1;
  }
};

// Runs `argv` (found on PATH) with `input` on its standard input, and waits
// for it. Throws Failure when it cannot be started.
Outcome run(const std::vector<std::string>& argv, std::string_view input = {}) {
  Pipe in, out, err;
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
  ::posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
  ::posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) failWithErrno("无法运行 " + argv[0], spawned);
  in.closeEnd(0);
  out.closeEnd(1);
  err.closeEnd(1);

  // A child that stops reading must not end this process with SIGPIPE.
  sigset_t pipeSignal, before;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
  Outcome outcome;
  std::size_t written = 0;
  if (input.empty()) in.closeEnd(1);
  while (out.fd[0] >= 0 || err.fd[0] >= 0) {
    pollfd fds[3] = {{in.fd[1], POLLOUT, 0}, {out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents) {
      const ssize_t n = ::write(in.fd[1], input.data() + written, std::min<std::size_t>(input.size() - written, PIPE_BUF));
      if (n > 0) written += static_cast<std::size_t>(n);
      if (n < 0 || written == input.size()) in.closeEnd(1);
    }
    for (int i = 1; i <= 2; ++i) {
      if (!fds[i].revents) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) (i == 1 ? outcome.out : outcome.err).append(buf, static_cast<std::size_t>(n));
      else (i == 1 ? out : err).closeEnd(0);
    }
  }
  in.closeEnd(1);
  timespec none{};
  while (::sigtimedwait(&pipeSignal, nullptr, &none) > 0) {
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  return line.empty() ? std::string("没有说明原因") : line;
}

std::string userName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  return std::to_string(::getuid());
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

class LinuxScheduler final : public Scheduler {
 public:
  explicit LinuxScheduler(std::string programFile) : programFile_(std::move(programFile)) {
    const auto config = xdgFolder("XDG_CONFIG_HOME", "/.config");
    if (!config) throw Failure("无法确定用户的主文件夹");
    unitFolder_ = *config + "/systemd/user";
  }

  ScheduleState state() override {
    ScheduleState state;
    const std::string timer = unitFolder_ + "/" + std::string(kTimerUnit);
    if (const auto unit = readFileIfExists(timer)) {
      state.how = "systemd 用户定时器";
      state.times = timerUnitTimes(*unit);
      state.keepsRunning = lingers();
      state.note = *state.keepsRunning ? lingerOnNote() : lingerNote();
      if (!managerAnswers()) {
        state.on = true;
        state.note = "systemd 用户管理器现在没有应答，定时器要等它运行时才生效。\n" + state.note;
        return state;
      }
      const Outcome shown = systemctl({"show", std::string(kTimerUnit), "-p", "ActiveState", "-p",
                                       "NextElapseUSecRealtime"});
      state.on = shown.out.find("ActiveState=active\n") != std::string::npos;
      const auto at = shown.out.find("NextElapseUSecRealtime=");
      if (at != std::string::npos) {
        const auto from = at + std::string_view("NextElapseUSecRealtime=").size();
        state.nextRun = shown.out.substr(from, shown.out.find('\n', from) - from);
      }
      if (state.on && (state.nextRun.empty() || state.nextRun == "n/a")) state.nextRun = nextRunNow(state.times);
      return state;
    }
    state.times = crontabTimes(readCrontab().value_or(std::string()));
    state.on = !state.times.empty();
    if (state.on) {
      state.how = "crontab";
      state.note = cronNote();
      if (const std::string missing = cronMissing(); !missing.empty()) {
        state.warning = std::string(kCronNotRunning) + missing;
        state.nextRun = "不会运行（cron 没有运行）";
      } else {
        state.nextRun = nextRunNow(state.times);
      }
    } else {
      state.note = managerAnswers() ? lingerNote() : cronNote();
    }
    return state;
  }

  void keepRunningAfterLogout(bool keep) override {
    const std::string command = keep ? "enable-linger" : "disable-linger";
    Outcome done;
    try {
      done = run({"loginctl", command, userName()});
    } catch (const Failure& e) {
      throw Failure("loginctl " + command + " 无法运行：" + e.what());
    }
    if (done.status != 0)
      throw Failure("loginctl " + command + " 被拒绝：" + firstLine(done.err) +
                    "（可请管理员执行：loginctl " + command + " " + userName() + "）");
  }

  void turnOn(const std::vector<TimeOfDay>& times) override {
    if (times.empty()) throw Failure("定时记录至少要有一个时间");
    if (managerAnswers()) {
      const std::string service = serviceUnitText(programFile_);
      makeFolders(unitFolder_);
      replaceFile(unitFolder_ + "/" + std::string(kServiceUnit), service);
      replaceFile(unitFolder_ + "/" + std::string(kTimerUnit), timerUnitText(times));
      mustSucceed(systemctl({"daemon-reload"}));
      mustSucceed(systemctl({"enable", std::string(kTimerUnit)}));
      // A timer already running takes its new times on a restart.
      mustSucceed(systemctl({"restart", std::string(kTimerUnit)}));
      removeCronLines();
      return;
    }
    removeUnits();
    const std::optional<std::string> crontab = readCrontab();
    if (!crontab) throw Failure("没有 systemd 用户管理器应答，也没有 crontab 程序：无法定时记录");
    writeCrontab(crontabWith(*crontab, programFile_, times));
  }

  void turnOff() override {
    removeUnits();
    removeCronLines();
  }

 private:
  static Outcome systemctl(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"systemctl", "--user"});
    return run(arguments);
  }

  static void mustSucceed(const Outcome& outcome) {
    if (outcome.status != 0) throw Failure("systemctl --user 失败：" + firstLine(outcome.err));
  }

  static bool managerAnswers() {
    try {
      return systemctl({"show", "-p", "Version", "--value"}).status == 0;
    } catch (const Failure&) {
      return false;  // no systemctl at all
    }
  }

  static std::string lingerNote() {
    return "用户定时器只在你登录期间运行（错过的记录在下次登录时补上）；不登录也要运行，请勾选“" +
           std::string(kKeepRunningCaption) + "”，或执行一次：loginctl enable-linger " + userName();
  }

  static std::string lingerOnNote() {
    return "退出登录后照常定时记录；关机时错过的记录在下次开机后补上。";
  }

  // Whether the user's manager lingers: logind's answer, else its mark.
  static bool lingers() {
    try {
      const Outcome shown = run({"loginctl", "show-user", userName(), "-p", "Linger", "--value"});
      if (shown.status == 0) return shown.out.starts_with("yes");
    } catch (const Failure&) {
      // no loginctl: the mark logind keeps
    }
    return exists("/var/lib/systemd/linger/" + userName());
  }

  static std::string nextRunNow(const std::vector<TimeOfDay>& times) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return {};
    return nextRunText(times, local);
  }

  // Empty when a cron daemon runs; else what was looked for.
  static std::string cronMissing() {
    if (!cronDaemon("/proc").empty()) return {};
    // Where /proc hides other users' processes, the daemon's pid file says.
    for (const char* pidFile : {"/run/crond.pid", "/var/run/crond.pid", "/run/cron.pid"}) {
      std::optional<std::string> text;
      try {
        text = readFileIfExists(pidFile);
      } catch (const Failure&) {
      }
      const long pid = text ? std::strtol(text->c_str(), nullptr, 10) : 0;
      if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) return {};
    }
    return "没有找到 cron 守护进程（cron 或 crond）。请管理员启动它并设为开机启动，例如 sudo systemctl enable --now cron，"
           "或 sudo service cron start";
  }

  static std::string cronNote() {
    return "不登录也定时记录；关机时错过的记录不会补上。";
  }

  void removeUnits() {
    const std::string timer = unitFolder_ + "/" + std::string(kTimerUnit);
    const std::string service = unitFolder_ + "/" + std::string(kServiceUnit);
    const std::string wanted = unitFolder_ + "/timers.target.wants/" + std::string(kTimerUnit);
    if (!exists(timer) && !exists(service) && !exists(wanted)) return;
    const bool answers = managerAnswers();
    if (answers) mustSucceed(systemctl({"disable", "--now", std::string(kTimerUnit)}));
    for (const std::string& file : {wanted, timer, service})
      if (exists(file)) removeFile(file);
    if (answers) mustSucceed(systemctl({"daemon-reload"}));
  }

  void removeCronLines() {
    const std::optional<std::string> read = readCrontab();
    if (!read) return;  // no crontab program: no line of ours either
    const std::string& crontab = *read;
    const std::string kept = crontabWithout(crontab);
    if (kept == crontab) return;
    if (kept.empty()) {
      const Outcome removed = run({"crontab", "-r"});
      if (removed.status != 0) throw Failure("无法删除 crontab 中的定时记录：" + firstLine(removed.err));
    } else {
      writeCrontab(kept);
    }
  }

  // The user's crontab, empty when the user has none; nothing when there
  // is no crontab program.
  static std::optional<std::string> readCrontab() {
    Outcome listed;
    try {
      listed = run({"crontab", "-l"});
    } catch (const Failure&) {
      return std::nullopt;
    }
    if (listed.status == 0) return listed.out;
    if (listed.err.find("no crontab for") != std::string::npos) return std::string();
    throw Failure("无法读取 crontab：" + firstLine(listed.err));
  }

  static void writeCrontab(const std::string& crontab) {
    const Outcome written = run({"crontab", "-"}, crontab);
    if (written.status != 0) throw Failure("无法写入 crontab：" + firstLine(written.err));
  }

  std::string programFile_;
  std::string unitFolder_;
};

}  // namespace

std::unique_ptr<Scheduler> makeScheduler(const std::string& programFile) {
  return std::make_unique<LinuxScheduler>(programFile);
}

}  // namespace vantoril::schedule
