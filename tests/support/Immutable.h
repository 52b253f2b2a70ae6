#pragma once
// A file made immutable with chattr +i for a test: no one, root included,
// may write, rename or remove it (POSIX only; needs root and a file system
// that has the flag, such as ext4).
#include <cstdlib>
#include <string>

namespace vantoril::test {

class Immutable {
 public:
  explicit Immutable(std::string path) : path_(std::move(path)) { ok_ = chattr("+i"); }
  ~Immutable() { lift(); }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool ok() const { return ok_; }
  void lift() const {
    if (ok_) chattr("-i");
  }

 private:
  bool chattr(const char* flag) const {
    const std::string command = std::string("chattr ") + flag + " '" + path_ + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
  }
  std::string path_;
  bool ok_ = false;
};

}  // namespace vantoril::test
