// The run lock of the benchmark's program without one (vantoril_unlocked):
// always free, costing nothing. Linked before the logic library, it stands
// in for the platform's lock, which the linker then never takes.
#include "platform/RunLock.h"

namespace vantoril {

namespace {

class FreeLock final : public RunLock {
 public:
  bool tryAcquire() override { return held_ = true; }
  bool held() const override { return held_; }
  void release() override { held_ = false; }

 private:
  bool held_ = false;
};

}  // namespace

std::unique_ptr<RunLock> makeRunLock(const std::string&) { return std::make_unique<FreeLock>(); }

}  // namespace vantoril
