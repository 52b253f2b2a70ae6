// The run lock with flock: the system drops it when the last descriptor
// closes, so also when the process dies.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/Failure.h"
#include "platform/RunLock.h"

namespace vantoril {

namespace {

class FlockRunLock final : public RunLock {
 public:
  explicit FlockRunLock(std::string path) : path_(std::move(path)) {}
  ~FlockRunLock() override { release(); }

  bool tryAcquire() override {
    if (fd_ >= 0) return true;
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    // A lock file that is there but may not be written locks as well:
    // another user's (EACCES), on a read-only mount (EROFS) or made
    // immutable (EPERM, also for root).
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) failWithErrno("无法打开锁文件 " + path_, errno);
    int r;
    do r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r == 0) {
      fd_ = fd;
      return true;
    }
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return false;
    failWithErrno("无法锁定锁文件 " + path_, error);
  }

  bool held() const override { return fd_ >= 0; }

  void release() override {
    if (fd_ < 0) return;
    ::close(fd_);  // drops the lock
    fd_ = -1;
  }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<RunLock> makeRunLock(const std::string& folder) {
  return std::make_unique<FlockRunLock>(runLockPath(folder));
}

}  // namespace vantoril
