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

class StderrReport final : public ErrorReport {
 public:
  void report(const std::string& message) override {
    std::cerr << message << '\n';
    last = message;
  }
  std::string last;  // the last message reported
};

}  // namespace vantoril
