// Under wine: a data file held open by another process as Excel holds it
// (writing denied to others) keeps the record in the pending file, which
// lands at the next run byte for byte, once, even while the pending file is
// held in its turn; and the run lock held by another
// process refuses the record button until that process has ended.
#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/RunLock.h"
#include "platform/Text.h"
#include "platform/Win32.h"
#include "datafile/DataFile.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

// This test program started again with "--hold MODE PATH" (main.cpp).
class Holder {
 public:
  Holder(const wchar_t* mode, const std::string& path) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --hold " + mode + L" \"" + win32::wide(path) + L"\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                          nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    if (started) {
      ::CloseHandle(process.hThread);
      process_.reset(process.hProcess);
      char said[8] = {};
      DWORD n = 0;
      held_ = ::ReadFile(readEnd, said, 4, &n, nullptr) && n == 4 && std::string(said, 4) == "held";
    }
    ::CloseHandle(readEnd);
  }
  ~Holder() { end(); }
  bool held() const { return held_; }
  void end() {
    if (!process_.valid()) return;
    ::TerminateProcess(process_.get(), 9);
    ::WaitForSingleObject(process_.get(), INFINITE);
    process_.reset();
  }

 private:
  win32::Handle process_;
  bool held_ = false;
};

struct RecordingForm {
  test::FormFixture f;
  std::unique_ptr<RunLock> lock = makeRunLock(f.folder.path());
  std::string data = datafile::path(f.folder.path(), u"hz");
  std::string pending = datafile::pendingPath(f.folder.path(), u"hz");
  RecordingForm() {
    f.form = std::make_unique<Form1>(f.folder.path(),
                                     Form1Services{f.downloader, f.starter, f.input, f.report, nullptr, lock.get()});
    test::writeGbk(f.website("hz.txt"), u"http://a\r\n");
    f.downloader.pages[u"http://a"] =
        fromUtf8(readWholeFile(std::string(VANTORIL_TEST_DATA) + "\\hangzhou-2014.html"));
    f.form->load();
  }
};

TEST(WindowsPending, ADataFileHeldLikeExcelKeepsTheRecordWhichLandsAtTheNextRun) {
  RecordingForm r;
  const std::string once = readWholeFile(std::string(VANTORIL_TEST_DATA) + "\\hangzhou-2014.WeatherData.xls");
  const std::string record = once.substr(std::string("\xCC\xEC\xC6\xF8\xCA\xFD\xBE\xDD\xCE\xC4\xBC\xFE\r\n").size());
  ASSERT_TRUE(r.f.form->click(r.f.form->Command1));
  ASSERT_EQ(readWholeFile(r.data), once);
  {
    Holder excel(L"excel", r.data);
    ASSERT_TRUE(excel.held());
    ASSERT_TRUE(r.f.form->click(r.f.form->Command1));
    ASSERT_EQ(r.f.report.messages.size(), 1u);
    EXPECT_TRUE(test::contains(r.f.report.messages[0], "hz: " + std::string(kKeptMessage) + "（无法打开文件 " + r.data))
        << r.f.report.messages[0];
    EXPECT_EQ(r.f.form->lastRun().kept, 1);
    EXPECT_EQ(r.f.form->lastRunExitCode(), 0);
    EXPECT_EQ(readWholeFile(r.pending), record);
  }
  ASSERT_EQ(readWholeFile(r.data), once);
  // The next runs record another page, so that each record shows whose it is.
  const std::string header = once.substr(0, once.size() - record.size());
  const std::string other =
      readWholeFile(std::string(VANTORIL_TEST_DATA) + "\\harbin-2016.WeatherData.xls").substr(header.size());
  r.f.downloader.pages[u"http://a"] = fromUtf8(readWholeFile(std::string(VANTORIL_TEST_DATA) + "\\harbin-2016.html"));
  {
    // The pending file held in its turn: its record lands with the run's
    // own, and while it cannot be removed the next runs' records go alone,
    // never it again.
    Holder excel(L"excel", r.pending);
    ASSERT_TRUE(excel.held());
    for (int run = 0; run < 2; ++run) {
      ASSERT_TRUE(r.f.form->click(r.f.form->Command1));
      EXPECT_EQ(r.f.report.messages.size(), 1u) << r.f.report.messages.back();  // the held data file's, of before
    }
    EXPECT_EQ(readWholeFile(r.data), once + record + other + other);
  }
  ASSERT_TRUE(r.f.form->click(r.f.form->Command1));
  EXPECT_EQ(readWholeFile(r.data), once + record + other + other + other);
  EXPECT_FALSE(fileExists(r.pending));
}

TEST(WindowsRunLock, AnotherProcessHoldingItRefusesTheRecordButtonUntilItHasEnded) {
  RecordingForm r;
  Holder other(L"lock", r.f.folder.path());
  ASSERT_TRUE(other.held());
  EXPECT_FALSE(r.lock->tryAcquire());
  EXPECT_FALSE(r.f.form->click(r.f.form->Command1));
  EXPECT_EQ(r.f.report.messages, std::vector<std::string>{std::string(kRunGoing)});
  EXPECT_TRUE(r.f.downloader.requested.empty());
  other.end();
  EXPECT_TRUE(r.f.form->click(r.f.form->Command1));
  EXPECT_TRUE(fileExists(r.data));
  EXPECT_FALSE(r.lock->held());

  // A lock file that may not be written (read-only) locks as well. (Wine
  // run by root lets it be written all the same: there only the lock is
  // shown; Windows, or wine run by an ordinary user as run_lock_user_test.sh
  // runs it, refuses the writing.)
  const std::wstring lockFile = win32::wide(runLockPath(r.f.folder.path()));
  ASSERT_TRUE(::SetFileAttributesW(lockFile.c_str(), FILE_ATTRIBUTE_READONLY));
  Holder reader(L"lock", r.f.folder.path());
  ASSERT_TRUE(reader.held());
  EXPECT_FALSE(r.lock->tryAcquire());
  reader.end();
  EXPECT_TRUE(r.lock->tryAcquire());
  r.lock->release();
  ::SetFileAttributesW(lockFile.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace vantoril
