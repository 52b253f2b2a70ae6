// Runs kept apart by the run lock, held by a real second process; and the
// run log: its lines, its bound, its last summary read back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "../support/Fakes.h"
#include "../support/Immutable.h"
#include "../support/SampleData.h"
#include "app/Headless.h"
#include "platform/RunLock.h"
#include "runlog/RunLog.h"

namespace vantoril {
namespace {

using test::TempFolder;

// Another process holding the run lock of `folder` until it is killed; as
// the user `uid` when given (the caller being root).
class LockHolder {
 public:
  explicit LockHolder(const std::string& folder, uid_t uid = 0) {
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      ::close(ready[0]);
      if (uid != 0 && (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0)) ::_exit(1);
      const auto lock = makeRunLock(folder);
      char answer = 'n';
      try {
        answer = lock->tryAcquire() ? 'y' : 'n';
      } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
      }
      if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
      for (;;) ::pause();
    }
    ::close(ready[1]);
    char answer = 0;
    held_ = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
  }
  ~LockHolder() { kill(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  bool held() const { return held_; }
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

TEST(RunLock, AnotherProcessHoldingItKeepsItAndItsKilledHolderFreesIt) {
  TempFolder folder;
  const auto lock = makeRunLock(folder.path());
  LockHolder holder(folder.path());
  ASSERT_TRUE(holder.held());
  EXPECT_FALSE(lock->tryAcquire());
  EXPECT_FALSE(lock->held());
  holder.kill();
  EXPECT_TRUE(lock->tryAcquire());
  EXPECT_TRUE(lock->tryAcquire());  // held already
  // Held here, it keeps another process out until released.
  {
    // (The child of a fork shares the lock, so this one goes first.)
    LockHolder second(folder.path());
    EXPECT_FALSE(second.held());
  }
  lock->release();
  LockHolder third(folder.path());
  EXPECT_TRUE(third.held());
}

// A lock file this user may not write (another user's, or one made
// immutable, which root may not write either) locks as well. The holder is
// an ordinary user: root may write another user's file.
TEST(RunLock, ALockFileThatMayNotBeWrittenLocksAsWell) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the lock file to another user";
  for (const bool immutable : {false, true}) {
    SCOPED_TRACE(immutable ? "immutable" : "root's, mode 644");
    TempFolder folder;
    std::filesystem::permissions(test::fsPath(folder.path()), std::filesystem::perms(0755));
    const auto lock = makeRunLock(folder.path());
    ASSERT_TRUE(lock->tryAcquire());  // made by root
    lock->release();
    test::Immutable frozen(runLockPath(folder.path()));
    if (immutable && !frozen.ok()) GTEST_SKIP() << "chattr +i does not work here";
    if (!immutable) frozen.lift();
    LockHolder holder(folder.path(), 65534);  // nobody
    ASSERT_TRUE(holder.held());
    EXPECT_FALSE(lock->tryAcquire());
    holder.kill();
    EXPECT_TRUE(lock->tryAcquire());
  }
}

TEST(RunLock, AWaitEndsWhenTheHolderDiesAndGivesUpAtItsLimit) {
  TempFolder folder;
  const auto lock = makeRunLock(folder.path());
  using std::chrono::milliseconds;
  {
    LockHolder holder(folder.path());
    int waits = 0;
    EXPECT_FALSE(waitForRunLock(*lock, milliseconds(300), milliseconds(20), [&] { ++waits; }));
    EXPECT_EQ(waits, 1);
  }
  EXPECT_FALSE(lock->held());
  LockHolder holder(folder.path());
  ASSERT_TRUE(holder.held());
  // The holder is killed while the wait goes on.
  std::thread killer([&holder] {
    std::this_thread::sleep_for(milliseconds(300));
    holder.kill();
  });
  EXPECT_TRUE(waitForRunLock(*lock, milliseconds(60000), milliseconds(20), nullptr));
  killer.join();
}

// The record button while another process runs: a clear message, and
// nothing downloaded, written or logged; once that process is gone
// (killed), the button records.
TEST(RunLock, TheRecordButtonDuringAnotherRunSaysSoAndDoesNothing) {
  test::FormFixture f;
  const auto lock = makeRunLock(f.folder.path());
  f.form = std::make_unique<Form1>(f.folder.path(),
                                   Form1Services{f.downloader, f.starter, f.input, f.report, nullptr, lock.get()});
  test::writeGbk(f.website("杭州.txt"), u"http://example.com/hz\r\n");
  f.downloader.pages[u"http://example.com/hz"] = fromUtf8(test::sampleData("hangzhou-2014.html"));
  ASSERT_TRUE(f.form->load());

  LockHolder holder(f.folder.path());
  ASSERT_TRUE(holder.held());
  EXPECT_FALSE(f.form->click(f.form->Command1));
  EXPECT_EQ(f.report.messages, std::vector<std::string>{std::string(kRunGoing)});
  EXPECT_TRUE(f.downloader.requested.empty());
  EXPECT_FALSE(std::filesystem::exists(test::fsPath(f.weatherData())));
  EXPECT_FALSE(runlog::lastSummary(f.folder.path()));

  holder.kill();
  EXPECT_TRUE(f.form->click(f.form->Command1)) << f.report.messages.back();
  EXPECT_EQ(test::readBytes(f.weatherData("杭州-WeatherData.xls")), test::sampleData("hangzhou-2014.WeatherData.xls"));
  EXPECT_FALSE(lock->held());  // released at the run's end
  const auto summary = runlog::lastSummary(f.folder.path());
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->counts.recorded, 1);
  EXPECT_EQ(summary->exitCode, 0);
}

// Run log ---------------------------------------------------------------

std::vector<std::string> logLines(const TempFolder& folder) {
  return test::linesOf(readWholeFile(runlog::logPath(folder.path())));
}

TEST(RunLog, EveryPlaceAndTheSummaryOfARunAreLoggedAndTheSummaryReadBack) {
  test::FormFixture f;
  const std::u16string page = fromUtf8(test::sampleData("hangzhou-2014.html"));
  test::writeGbk(f.website("甲.txt"), u"http://a\r\n");
  test::writeGbk(f.website("乙.txt"), u"http://b\r\n");
  test::writeGbk(f.website("丙\t地.txt"), u"http://a\r\n");
  f.downloader.pages[u"http://a"] = page;
  // What a trim cut short by a crash left goes with the next run.
  const std::string leftOver = temporaryPath(runlog::logPath(f.folder.path()));
  writeWholeFile(leftOver, "half");
  ASSERT_TRUE(f.form->load());
  EXPECT_FALSE(f.form->click(f.form->Command1));
  EXPECT_FALSE(fileExists(leftOver));
  const auto lines = logLines(f.folder);
  ASSERT_EQ(lines.size(), 4u);
  const std::vector<std::string> expected = {"丙 地\t2014061914", "乙\t错误：", "甲\t2014061914"};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i].substr(20, expected[i].size()), expected[i]) << lines[i];
    EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 2) << lines[i];
  }
  const auto summary = runlog::lastSummary(f.folder.path());
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->line, lines[3]);
  EXPECT_EQ(summary->time, lines[3].substr(0, 19));
  EXPECT_EQ(summary->counts.places, 3);
  EXPECT_EQ(summary->counts.recorded, 2);
  EXPECT_EQ(summary->counts.failed, 1);
  EXPECT_EQ(summary->exitCode, 1);
  EXPECT_EQ(f.form->lastRunExitCode(), 1);
}

TEST(RunLog, TheLastSummaryIsTheLastLineThatReadsAsOne) {
  const std::string run1 = "2026-12-01 08:00:00\t运行结束\t地名 2\t记录 1\t暂存 1\t跳过 0\t错误 0\t退出码 0";
  const std::string gaveUp = "2026-12-01 09:00:00\t运行结束\t地名 0\t记录 0\t暂存 0\t跳过 0\t错误 0\t退出码 3\t等太久";
  const struct {
    const char* name;
    std::string log;
    std::string expected;  // the line found, "" for none
  } cases[] = {
      {"empty", "", ""},
      {"places only", "2026-12-01 08:00:00\t甲\t2014061914\n", ""},
      {"a summary", "2026-12-01 08:00:00\t甲\t2014061914\n" + run1 + "\n", run1},
      {"without its line end", run1, run1},
      {"a later run killed half-way", run1 + "\n2026-12-02 08:00:00\t甲\t2014061914\n", run1},
      {"with a note", run1 + "\n" + gaveUp + "\n", gaveUp},
      {"a place named like the mark", run1 + "\n2026-12-02 08:00:00\t运行结束\t2014061914\n", run1},
      {"a count that is no number", run1 + "\n2026-12-02\t运行结束\t地名 x\t记录 0\t暂存 0\t跳过 0\t错误 0\t退出码 0\n", run1},
      {"CR LF line ends", run1 + "\r\n", run1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    if (!c.log.empty()) writeWholeFile(runlog::logPath(folder.path()), c.log);
    const auto summary = runlog::lastSummary(folder.path());
    EXPECT_EQ(summary ? summary->line : "", c.expected);
  }
  TempFolder folder;
  writeWholeFile(runlog::logPath(folder.path()), gaveUp + "\n");
  const auto summary = runlog::lastSummary(folder.path());
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->exitCode, 3);
  EXPECT_EQ(summary->note, "等太久");
  EXPECT_EQ(summary->counts.places, 0);
}

// Past its bound the log keeps its newer half, from a line's start, and
// the line just written is never lost, however long.
TEST(RunLog, PastItsBoundTheOlderHalfIsDroppedAtALineBoundary) {
  TempFolder folder;
  const std::string path = runlog::logPath(folder.path());
  runlog::RunLog log(folder.path());
  const std::string cause(200, 'x');
  int written = 0;
  std::size_t largest = 0;
  while (written < 20000) {
    log.place(u"地" + fromUtf8(std::to_string(written)), cause);
    ++written;
    largest = std::max<std::size_t>(largest, std::filesystem::file_size(test::fsPath(path)));
  }
  log.summary({1, 1, 0, 0, 0}, 0);
  EXPECT_LE(largest, runlog::kMostBytes);
  const auto lines = logLines(folder);
  // Whole lines only, and the newest ones, in order.
  for (const auto& line : lines) ASSERT_EQ(std::count(line.begin(), line.end(), '\t'), line == lines.back() ? 7 : 2) << line;
  EXPECT_TRUE(test::contains(lines[lines.size() - 2], "\t地19999\t"));
  ASSERT_TRUE(runlog::lastSummary(folder.path()));

  // A last line longer than half the bound stays whole.
  runlog::RunLog(folder.path()).place(u"长", std::string(runlog::kMostBytes * 3 / 4, 'y'));
  const auto after = logLines(folder);
  EXPECT_EQ(after.back().size(), 20 + 3 + 1 + runlog::kMostBytes * 3 / 4);
  EXPECT_LE(readWholeFile(path).size(), runlog::kMostBytes);
  // One longer than the bound stays alone, no empty line before it.
  TempFolder other;
  runlog::RunLog(other.path()).place(u"短", "x");
  runlog::RunLog(other.path()).place(u"长", std::string(runlog::kMostBytes, 'z'));
  EXPECT_EQ(logLines(other).size(), 1u);
}

// A log that cannot be written changes nothing of the run.
TEST(RunLog, ALogThatCannotBeWrittenDoesNotFailTheRun) {
  test::FormFixture f;
  std::filesystem::create_directories(test::fsPath(runlog::logPath(f.folder.path())));  // a folder in its place
  test::writeGbk(f.website("杭州.txt"), u"http://a\r\n");
  f.downloader.pages[u"http://a"] = fromUtf8(test::sampleData("hangzhou-2014.html"));
  ASSERT_TRUE(f.form->load());
  EXPECT_TRUE(f.form->click(f.form->Command1));
  EXPECT_EQ(f.form->lastRunExitCode(), 0);
  EXPECT_TRUE(f.report.messages.empty());
}

}  // namespace
}  // namespace vantoril
