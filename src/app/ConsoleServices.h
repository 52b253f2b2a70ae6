#pragma once
// Services of a run without a window: no one to ask, errors to stderr.
#include <iostream>
#include <string>

#include "platform/Services.h"

namespace vantoril {

class NoInput final : public InputBox {
 public:
  std::u16string ask(const std::u16string&, const std::u16string&, const std::u16string&) override { return {}; }
};

// Reports to a stream, stderr unless told otherwise.
class StreamReport final : public ErrorReport {
 public:
  explicit StreamReport(std::ostream& out = std::cerr) : out_(out) {}
  void report(const std::string& message) override {
    out_ << message << std::endl;
    last = message;
  }
  std::string last;  // the last message reported

 private:
  std::ostream& out_;
};

}  // namespace vantoril
