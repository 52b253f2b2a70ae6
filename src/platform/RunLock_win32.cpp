// The run lock with LockFileEx on the first byte of the lock file: the
// system drops it when the handle closes, so also when the process dies.
#include <string>
#include <utility>

#include "platform/Failure.h"
#include "platform/RunLock.h"
#include "platform/Win32.h"

namespace vantoril {

namespace {

class LockFileRunLock final : public RunLock {
 public:
  explicit LockFileRunLock(std::string path) : path_(std::move(path)) {}
  ~LockFileRunLock() override { release(); }

  bool tryAcquire() override {
    if (file_.valid()) return true;
    // Every sharing allowed: only the lock keeps runs apart, never the
    // opening of the file.
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    file_.reset(::CreateFileW(win32::wide(path_).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    // A lock file that is there but may not be written locks as well.
    if (!file_.valid() && ::GetLastError() == ERROR_ACCESS_DENIED)
      file_.reset(::CreateFileW(win32::wide(path_).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.valid()) win32::fail("无法打开锁文件 " + path_, ::GetLastError());
    OVERLAPPED at{};
    if (::LockFileEx(file_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return true;
    const DWORD error = ::GetLastError();
    file_.reset();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
    win32::fail("无法锁定锁文件 " + path_, error);
  }

  bool held() const override { return file_.valid(); }

  void release() override { file_.reset(); }  // closing the handle drops the lock

 private:
  std::string path_;
  win32::Handle file_;
};

}  // namespace

std::unique_ptr<RunLock> makeRunLock(const std::string& folder) {
  return std::make_unique<LockFileRunLock>(runLockPath(folder));
}

}  // namespace vantoril
