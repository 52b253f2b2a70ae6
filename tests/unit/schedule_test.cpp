// Recording on a schedule: the times a user writes, the units and crontab
// lines the Linux scheduler writes (checked by systemd's own tools), and the
// dialog's model and --schedule over a scheduler that answers from a script.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "runlog/RunLog.h"
#include "schedule/LinuxSchedule.h"
#include "schedule/ScheduleDialog.h"
#include "support/Fakes.h"

namespace vantoril::schedule {
namespace {

using test::TempFolder;
using Times = std::vector<TimeOfDay>;

TEST(ScheduleTimes, AreReadSortedAndWithoutDuplicates) {
  const struct {
    const char* text;
    Times times;
  } cases[] = {
      {"08:00,20:00", {{8, 0}, {20, 0}}},
      {"20,8", {{8, 0}, {20, 0}}},
      {" 8:30 ; 7 ", {{7, 0}, {8, 30}}},
      {"0,23:59", {{0, 0}, {23, 59}}},
      {"8，20、12；6", {{6, 0}, {8, 0}, {12, 0}, {20, 0}}},
      {"08：15", {{8, 15}}},
      {"8,08:00,8", {{8, 0}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseTimes(c.text), c.times) << c.text;
    EXPECT_EQ(parseTimes(timesText(c.times)), c.times) << c.text;
  }
}

TEST(ScheduleTimes, TheNextRunIsReadFromTheSchedulersAutomationDate) {
  const std::pair<double, const char*> cases[] = {
      {46363.0, "2026-12-07 00:00"},
      {46363 + 8.0 / 24 - 1e-9, "2026-12-07 08:00"},  // a hair before: the second rounds
      {46363 + (20 * 60 + 30 + 40.0 / 60) / 1440, "2026-12-07 20:30"},
      {61.0, "1900-03-01 00:00"},  // no 29 February 1900
      {2.5, "1900-01-01 12:00"},
      {2958465.999, "9999-12-31 23:58"},
      {0.0, ""},
      {-1.5, ""},
      {2958466.0, ""},
  };
  for (const auto& [date, text] : cases) EXPECT_EQ(automationDateText(date), text) << date;
}

TEST(ScheduleTimes, TheNextRunIsTheFirstTimeAfterNowTomorrowsFirstPastTheLast) {
  const auto at = [](int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return t;
  };
  const Times times{{8, 0}, {20, 30}};
  const struct {
    std::tm now;
    const char* next;
  } cases[] = {
      {at(2026, 12, 7, 0, 0), "2026-12-07 08:00"},
      {at(2026, 12, 7, 7, 59), "2026-12-07 08:00"},
      {at(2026, 12, 7, 8, 0), "2026-12-07 20:30"},  // this minute's run is under way
      {at(2026, 12, 7, 20, 29), "2026-12-07 20:30"},
      {at(2026, 12, 7, 20, 30), "2026-12-08 08:00"},
      {at(2026, 12, 31, 23, 59), "2027-01-01 08:00"},
      {at(2027, 2, 28, 21, 0), "2027-03-01 08:00"},
      {at(2028, 2, 28, 21, 0), "2028-02-29 08:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(nextRunText(times, c.now), c.next) << c.next;
  EXPECT_EQ(nextRunText({{0, 0}}, at(2026, 12, 7, 0, 0)), "2026-12-08 00:00");
}

TEST(ScheduleTimes, AWrongEntryIsNamedWithTheReason) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "请至少写一个时间"},
      {" , ;", "请至少写一个时间"},
      {"24", "“24”不是时间：小时应在 0 到 23 之间"},
      {"8,12:60", "“12:60”不是时间：分钟应在 0 到 59 之间"},
      {"8:5", "“8:5”不是时间：请写整点"},
      {"123", "“123”不是时间：请写整点"},
      {"8点", "“8点”不是时间"},
      {"-1", "“-1”不是时间"},
      {":30", "“:30”不是时间"},
      {"08:00:00", "“08:00:00”不是时间"},
  };
  for (const auto& c : cases) {
    try {
      parseTimes(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const Failure& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.text << ": " << e.what();
    }
  }
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a shell command; its exit code and what it printed (both streams).
std::pair<int, std::string> shell(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) throw std::runtime_error("popen failed");
  std::string out;
  char buf[4096];
  while (const std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

bool haveSystemdAnalyze() { return shell("command -v systemd-analyze").first == 0; }

// systemd-analyze verify reads the units as the user manager would, and
// refuses a service whose program file is not where ExecStart= points. A
// path systemd takes as no program (quotes, backslashes) goes through the
// shell, which systemd-analyze does not follow: it only checks the syntax.
TEST(ScheduleSystemdUnits, AreVerifiedBySystemdAndPointAtTheProgramWhateverItsPath) {
  if (!haveSystemdAnalyze()) GTEST_SKIP() << "systemd-analyze is not installed";
  const struct {
    std::string name;
    bool throughShell;
  } folders[] = {{"plain", false},         {"with space", false},   {"100%", false},
                 {"$HOME ${HOME}", false}, {"中文 %h $$", false},   {"back\\slash", true},
                 {"quote\"", true},        {"it's $HOME %h", true}};
  for (const auto& [name, throughShell] : folders) {
    TempFolder home;
    const std::string units = home / "systemd/user";
    std::filesystem::create_directories(units);
    const std::string program = home / name + "/vantoril";
    std::filesystem::create_directories(home / name);
    writeWholeFile(program, "#!/bin/sh\n");
    ::chmod(program.c_str(), 0755);
    writeWholeFile(units + "/" + std::string(kServiceUnit), serviceUnitText(program));
    writeWholeFile(units + "/" + std::string(kTimerUnit), timerUnitText({{8, 0}, {20, 30}}));
    std::filesystem::create_directories(home / "run");
    const std::string verify = "cd " + shellQuoted(units) + " && XDG_RUNTIME_DIR=" + shellQuoted(home / "run") +
                               " XDG_CONFIG_HOME=" + shellQuoted(home.path()) +
                               " systemd-analyze --user verify " + std::string(kTimerUnit) + " " +
                               std::string(kServiceUnit);
    const auto [status, out] = shell(verify);
    EXPECT_EQ(status, 0) << name << ":\n" << out << serviceUnitText(program);
    EXPECT_EQ(out.find("vantoril-record"), std::string::npos) << name << ":\n" << out;

    EXPECT_EQ(serviceUnitText(program).find("ExecStart=/bin/sh -c ") != std::string::npos, throughShell) << name;
    // A scheduled run tells its person when places were not recorded.
    EXPECT_NE(serviceUnitText(program).find(" --record --notify"), std::string::npos) << serviceUnitText(program);
    // The service runs only while the program file is there (systemd's own reading of the condition).
    const std::string unit = serviceUnitText(program);
    const auto at = unit.find("\nConditionFileIsExecutable=") + 1;
    const std::string condition = "systemd-analyze condition " + shellQuoted(unit.substr(at, unit.find('\n', at) - at));
    EXPECT_EQ(shell(condition).first, 0) << name << ":\n" << unit;
    // The same units without the program file are refused: the check above looked at that path.
    std::filesystem::remove(program);
    EXPECT_NE(shell(condition).first, 0) << name;
    if (!throughShell) {
      EXPECT_NE(shell(verify).first, 0) << name;
    }
  }
}

TEST(ScheduleSystemdUnits, EachTimeIsACalendarEventSystemdReadsAsThatTimeEveryDay) {
  if (!haveSystemdAnalyze()) GTEST_SKIP() << "systemd-analyze is not installed";
  const Times times{{0, 0}, {8, 5}, {23, 59}};
  const std::string unit = timerUnitText(times);
  EXPECT_EQ(timerUnitTimes(unit), times);
  std::istringstream lines(unit);
  std::size_t events = 0;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("OnCalendar=")) continue;
    const std::string event = line.substr(std::string_view("OnCalendar=").size());
    const auto [status, out] = shell("systemd-analyze calendar --iterations=2 " + shellQuoted(event));
    ASSERT_EQ(status, 0) << out;
    const TimeOfDay t = times.at(events++);
    EXPECT_NE(out.find("Normalized form: *-*-* " + timeText(t) + ":00"), std::string::npos) << out;
    EXPECT_NE(out.find(" " + timeText(t) + ":00 "), std::string::npos) << out;  // the next elapse
  }
  EXPECT_EQ(events, times.size());
}

TEST(ScheduleSystemdUnits, APathSystemdCannotHoldIsRefusedNamingIt) {
  for (const std::string& path : {std::string("/a\nb/vantoril"), std::string("/a\tb/vantoril"),
                                 std::string("/a\xff/vantoril")}) {
    try {
      serviceUnitText(path);
      ADD_FAILURE() << "accepted " << path;
    } catch (const Failure& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

TEST(ScheduleCrontab, OurLinesReplaceOurOldOnesAndEveryOtherLineStaysByteForByte) {
  const std::string program = "/opt/my apps/it's 100%/vantoril";
  const std::string others[] = {
      "",
      "# m h dom mon dow command\n",
      "MAILTO=me\n0 * * * * backup # vantoril-schedule-not\n\n  \n*/5 * * * * a\t%b",
      "1 2 * * * x\r\n",
  };
  for (const std::string& mine : others) {
    const std::string with = crontabWith(mine, program, {{8, 0}, {20, 0}, {20, 30}});
    EXPECT_EQ(crontabTimes(with), (Times{{8, 0}, {20, 0}, {20, 30}})) << with;
    EXPECT_TRUE(with.ends_with("\n"));
    const std::string program = "'/opt/my apps/it'\\''s 100\\%/vantoril'";
    EXPECT_NE(with.find("0 8,20 * * * test ! -x " + program + " || " + program + " --record --notify # vantoril-schedule\n"),
              std::string::npos)
        << with;
    EXPECT_NE(with.find("30 20 * * * "), std::string::npos) << with;
    const std::string again = crontabWith(with, program, {{6, 0}});
    EXPECT_EQ(crontabTimes(again), (Times{{6, 0}})) << again;
    const std::string without = crontabWithout(again);
    // Nothing of ours is left, and the user's lines are as they were (with
    // the end of line cron needs after the last one).
    EXPECT_TRUE(crontabTimes(without).empty());
    EXPECT_TRUE(without == mine || without == mine + "\n") << without;
  }
  // A line of the older form (the program alone, no test) is ours as well.
  const std::string older = "0 8 * * * '/usr/lib/vantoril/vantoril' --record --notify # vantoril-schedule\n";
  EXPECT_EQ(crontabTimes(crontabWith("1 2 * * * x\n" + older, program, {{6, 0}})), (Times{{6, 0}}));
}

// The crontab line's command, as cron hands it to the shell, runs the program
// at its path, whatever the path holds.
TEST(ScheduleCrontab, TheCommandReachesTheProgramThroughCronAndTheShell) {
  const std::string folders[] = {"plain", "with space", "it's", "100%", "$HOME `x`", "back\\slash", "中文"};
  for (const std::string& name : folders) {
    TempFolder root;
    std::filesystem::create_directories(root / name);
    const std::string program = root / name + "/vantoril";
    writeWholeFile(program, "#!/bin/sh\necho \"ran $*\"\n");
    ::chmod(program.c_str(), 0755);
    std::string line = crontabWith("", program, {{8, 0}});
    line = line.substr(0, line.size() - 1);
    // Five time fields, then the command; cron makes "\%" a '%'.
    std::size_t at = 0;
    for (int field = 0; field < 5; ++field) at = line.find(' ', at) + 1;
    std::string command;
    for (std::size_t i = at; i < line.size(); ++i) {
      ASSERT_FALSE(line[i] == '%' && (i == 0 || line[i - 1] != '\\')) << "a bare % in " << line;
      if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '%') continue;
      command += line[i];
    }
    const auto [status, out] = shell("sh -c " + shellQuoted(command));
    EXPECT_EQ(status, 0) << line << "\n" << out;
    EXPECT_EQ(out, "ran --record --notify\n") << line;
    // The program removed: nothing runs, nothing is said, no failure.
    std::filesystem::remove(program);
    EXPECT_EQ(shell("sh -c " + shellQuoted(command)), std::make_pair(0, std::string())) << line;
  }
}

// ------------------------------------------------------------------ cron

TEST(ScheduleCron, ADaemonIsFoundAmongTheProcessesByItsName) {
  using Processes = std::vector<std::pair<std::string, std::string>>;  // folder, comm
  const struct {
    Processes processes;
    std::string found;
  } cases[] = {
      {{}, ""},
      {{{"1", "systemd\n"}, {"40", "crontab\n"}, {"41", "cron-helper\n"}, {"self", "cron\n"}, {"42", ""}}, ""},
      {{{"1", "init\n"}, {"43", ""}, {"812", "cron\n"}}, "cron（进程 812）"},
      {{{"77", "crond\n"}}, "crond（进程 77）"},
      {{{"5", "fcron"}}, "fcron（进程 5）"},
  };
  for (const auto& c : cases) {
    TempFolder proc;
    for (const auto& [folder, comm] : c.processes) {
      std::filesystem::create_directories(proc / folder);
      if (!comm.empty()) writeWholeFile(proc / folder + "/comm", comm);  // none: the process ended
    }
    EXPECT_EQ(cronDaemon(proc.path()), c.found) << c.found;
  }
}

// Sets environment variables for a test, and puts them back.
struct ScopedEnvironment {
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  void set(const std::string& name, const std::string& value) {
    const char* old = std::getenv(name.c_str());
    saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
      if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else ::unsetenv(it->first.c_str());
    }
  }
};

// A systemd user timer's state says whether the user's manager lingers, and
// "退出登录后也定时记录" runs loginctl. This machine has no logind (and the
// test must not change the machine's linger), so stand-ins for systemctl
// and loginctl on PATH answer as a user manager and logind would, and
// write down the arguments they were given.
TEST(ScheduleSystemdTimer, TheStateSaysWhetherTheManagerLingersAndLoginctlIsAskedToChangeIt) {
  TempFolder folder;
  const std::string bin = folder / "bin", calls = folder / "calls";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(folder / "config/systemd/user");
  writeWholeFile(folder / "config/systemd/user/" + std::string(kTimerUnit), timerUnitText({{8, 0}, {20, 0}}));
  writeWholeFile(folder / "linger", "no\n");
  const auto script = [&](const std::string& name, const std::string& body) {
    writeWholeFile(bin + "/" + name, "#!/bin/sh\necho \"" + name + " $*\" >>'" + calls + "'\n" + body);
    ::chmod((bin + "/" + name).c_str(), 0755);
  };
  script("systemctl",
         "case \"$*\" in\n"
         "  *Version*) echo 252 ;;\n"
         "  *ActiveState*) printf 'ActiveState=active\\nNextElapseUSecRealtime=\\n' ;;\n"
         "esac\n");
  script("loginctl",
         "case \"$1\" in\n"
         "  show-user) cat '" + folder / "linger" + "' ;;\n"
         "  enable-linger) [ -e '" + folder / "refuse" + "' ] && { echo 'Could not enable linger: Access denied' >&2; exit 1; }\n"
         "                 echo yes >'" + folder / "linger" + "' ;;\n"
         "  *) exit 1 ;;\n"
         "esac\n");
  ScopedEnvironment environment;
  environment.set("PATH", bin + ":/usr/bin:/bin");
  environment.set("XDG_CONFIG_HOME", folder / "config");
  const passwd* pw = ::getpwuid(::getuid());
  ASSERT_TRUE(pw);
  const std::string user = pw->pw_name;

  const auto scheduler = makeScheduler("/opt/vantoril/vantoril");
  ScheduleState state = scheduler->state();
  EXPECT_TRUE(state.on);
  EXPECT_EQ(state.how, "systemd 用户定时器");
  ASSERT_TRUE(state.keepsRunning);
  EXPECT_FALSE(*state.keepsRunning);
  EXPECT_NE(state.note.find("loginctl enable-linger " + user), std::string::npos) << state.note;
  EXPECT_TRUE(state.warning.empty()) << state.warning;
  // The manager tells no next run: it comes from the times.
  EXPECT_TRUE(state.nextRun.ends_with(" 08:00") || state.nextRun.ends_with(" 20:00")) << state.nextRun;
  EXPECT_NE(readWholeFile(calls).find("loginctl show-user " + user + " -p Linger --value\n"), std::string::npos);

  writeWholeFile(folder / "refuse", "");
  try {
    scheduler->keepRunningAfterLogout(true);
    ADD_FAILURE() << "a refusal was taken for consent";
  } catch (const Failure& e) {
    EXPECT_NE(std::string(e.what()).find("loginctl enable-linger 被拒绝：Could not enable linger: Access denied"),
              std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(*scheduler->state().keepsRunning);
  std::filesystem::remove(folder / "refuse");
  scheduler->keepRunningAfterLogout(true);
  EXPECT_NE(readWholeFile(calls).find("loginctl enable-linger " + user + "\n"), std::string::npos);
  state = scheduler->state();
  EXPECT_TRUE(*state.keepsRunning);
  EXPECT_NE(stateText(state, "").find("退出登录后：照常运行"), std::string::npos);
}

// A scheduler answering from a script.
struct FakeScheduler : Scheduler {
  ScheduleState current;
  std::vector<std::string> calls;
  std::string refuse;
  ScheduleState state() override {
    calls.push_back("state");
    if (!refuse.empty()) throw Failure(refuse);
    return current;
  }
  void turnOn(const std::vector<TimeOfDay>& times) override {
    calls.push_back("on " + timesText(times));
    if (!refuse.empty()) throw Failure(refuse);
    const auto keeps = current.keepsRunning;
    current = {true, "测试", times, "明天 08:00", "", "", keeps};
  }
  void turnOff() override {
    calls.push_back("off");
    if (!refuse.empty()) throw Failure(refuse);
    current = {};
  }
  std::string refuseKeep;
  void keepRunningAfterLogout(bool keep) override {
    calls.push_back(keep ? "keep" : "keep not");
    if (!refuseKeep.empty()) throw Failure(refuseKeep);
    current.keepsRunning = keep;
  }
};

TEST(ScheduleDialog, ShowsTheSystemsStateTheDefaultTimesWhenOffAndTheLastRun) {
  FakeScheduler scheduler;
  std::string lastRun;
  ScheduleDialogModel model(scheduler, [&] { return lastRun; });
  model.refresh();
  EXPECT_FALSE(model.on());
  EXPECT_EQ(model.timesText(), "08:00,20:00");
  EXPECT_NE(model.stateText().find("上次运行：还没有记录过"), std::string::npos) << model.stateText();

  scheduler.current = {true, "crontab", {{7, 15}}, "", "不登录也运行", "", std::nullopt};
  lastRun = "2026-12-07 08:00 记录 3 处，失败 0 处";
  model.refresh();
  EXPECT_TRUE(model.on());
  EXPECT_EQ(model.timesText(), "07:15");
  EXPECT_EQ(model.stateText(),
            "定时记录：开（crontab）\n时间：07:15\n下次运行：系统未告知\n上次运行：" + lastRun + "\n不登录也运行\n");

  scheduler.refuse = "systemctl --user 失败：Access denied";
  model.refresh();
  EXPECT_FALSE(model.on());
  EXPECT_NE(model.stateText().find("Access denied"), std::string::npos);
  EXPECT_NE(model.stateText().find(lastRun), std::string::npos);
}

TEST(ScheduleDialog, OkAppliesValidTimesAndKeepsTheDialogWithTheReasonOtherwise) {
  const struct {
    bool on;
    const char* times;
    const char* refuse;  // the scheduler's failure, if any
    std::vector<std::string> calls;
    const char* message;  // part of what the dialog shows; "" for none
  } cases[] = {
      {true, "20, 8", "", {"on 08:00,20:00", "state"}, ""},
      {true, "8,25", "", {}, "“25”不是时间"},
      {true, "", "", {}, "请至少写一个时间"},
      {false, "garbage", "", {"off", "state"}, ""},
      {true, "8", "无法写入 crontab：denied", {"on 08:00"}, "无法写入 crontab：denied"},
      {false, "8", "systemctl --user 失败：x", {"off"}, "systemctl --user 失败：x"},
  };
  for (const auto& c : cases) {
    FakeScheduler scheduler;
    ScheduleDialogModel model(scheduler, nullptr);
    scheduler.refuse = c.refuse;
    const std::string message = model.apply(c.on, c.times);
    EXPECT_EQ(scheduler.calls, c.calls) << c.times;
    if (*c.message) EXPECT_NE(message.find(c.message), std::string::npos) << c.times << ": " << message;
    else EXPECT_EQ(message, "") << c.times;
  }
  FakeScheduler scheduler;
  ScheduleDialogModel model(scheduler, nullptr);
  ASSERT_EQ(model.apply(true, "9:30,9:30"), "");
  EXPECT_TRUE(model.on());
  EXPECT_EQ(model.timesText(), "09:30");
  EXPECT_NE(model.stateText().find("下次运行：明天 08:00"), std::string::npos);
}

// The check box "退出登录后也定时记录" is offered only where the system
// tells whether runs go on after logout; OK hands a change to the system.
TEST(ScheduleDialog, OffersRunningAfterLogoutWhereTheSystemTellsItAndSaysWhenItIsRefused) {
  const struct {
    std::optional<bool> before, chosen;
    const char* refuse;
    std::vector<std::string> calls;
    const char* message;
    bool after;
  } cases[] = {
      {std::nullopt, std::nullopt, "", {"on 08:00", "state"}, "", false},
      {false, false, "", {"on 08:00", "state"}, "", false},
      {false, true, "", {"on 08:00", "keep", "state"}, "", true},
      {true, false, "", {"on 08:00", "keep not", "state"}, "", false},
      {false, true, "loginctl enable-linger 被拒绝：Access denied", {"on 08:00", "keep", "state"},
       "loginctl enable-linger 被拒绝：Access denied", false},
  };
  for (const auto& c : cases) {
    FakeScheduler scheduler;
    scheduler.current.keepsRunning = c.before;
    ScheduleDialogModel model(scheduler, nullptr);
    model.refresh();
    EXPECT_EQ(model.keepRunningOffered(), c.before.has_value());
    scheduler.calls.clear();
    scheduler.refuseKeep = c.refuse;
    EXPECT_EQ(model.apply(true, "8", c.chosen), c.message);
    EXPECT_EQ(scheduler.calls, c.calls);
    EXPECT_EQ(model.keepsRunning(), c.after);
  }
  // The state says it, where it is told.
  ScheduleState state{true, "systemd 用户定时器", {{8, 0}}, "", "", "", false};
  EXPECT_NE(stateText(state, "").find("\n退出登录后：不运行（linger 未开启）\n"), std::string::npos);
  state.keepsRunning = true;
  EXPECT_NE(stateText(state, "").find("\n退出登录后：照常运行（linger 已开启）\n"), std::string::npos);
  state.keepsRunning.reset();
  EXPECT_EQ(stateText(state, "").find("退出登录后"), std::string::npos);
  // What keeps it from running is the second line.
  state.warning = std::string(kCronNotRunning) + "没有找到 cron 守护进程";
  EXPECT_TRUE(stateText(state, "").starts_with("定时记录：开（systemd 用户定时器）\n" + state.warning + "\n"));
}

TEST(ScheduleCommand, SetsTurnsOffOrPrintsAndRefusesBadTimesBeforeTouchingTheSystem) {
  const struct {
    const char* value;
    std::vector<std::string> calls;
    bool refused;
  } cases[] = {
      {"", {"state"}, false},
      {"off", {"off", "state"}, false},
      {"08:00,20:00", {"on 08:00,20:00", "state"}, false},
      {"8,8:60", {}, true},
  };
  for (const auto& c : cases) {
    FakeScheduler scheduler;
    std::ostringstream out, err;
    if (c.refused) {
      EXPECT_THROW(scheduleCommand(scheduler, "", c.value, out, err), Failure) << c.value;
    } else {
      EXPECT_EQ(scheduleCommand(scheduler, "", c.value, out, err), 0) << c.value;
      EXPECT_EQ(out.str(), stateText(scheduler.current, "")) << c.value;
    }
    EXPECT_EQ(scheduler.calls, c.calls) << c.value;
  }
}

TEST(ScheduleLastRun, IsTheRunLogsLastSummaryAndNothingBeforeTheFirstRun) {
  TempFolder folder;
  EXPECT_EQ(lastRunSummary(folder.path()), "");
  {
    runlog::RunLog log(folder.path());
    log.summary({3, 3, 0, 0, 0}, 0);
  }
  {
    runlog::RunLog log(folder.path());
    log.place(u"杭州", "HTTP 404");
    log.summary({3, 1, 1, 0, 1}, 1);
  }
  const std::string last = lastRunSummary(folder.path());
  // In a person's words: the day and the minute, the counts without the exit code.
  const std::string time = runlog::lastSummary(folder.path())->time;
  EXPECT_EQ(last, std::to_string(std::stoi(time.substr(5, 2))) + "月" + std::to_string(std::stoi(time.substr(8, 2))) +
                      "日 " + time.substr(11, 5) + "，3 个地名：记录 1，暂存 1，错误 1");
}

}  // namespace
}  // namespace vantoril::schedule
