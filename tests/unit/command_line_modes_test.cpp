// The program's own command line: which arguments open the window, which
// are refused, and that a refusal runs nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLineModes.h"

namespace {

TEST(CommandLineModes, OnlyNoArgumentsOpensTheWindowAndArgumentsNamingNoModeAreRefused) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    bool window;
  };
  const Case cases[] = {
      {{}, 7, true},
      {{"--help"}, 0, false},
      {{"--version"}, 0, false},
      {{"--bogus"}, 2, false},
      {{"record"}, 2, false},
      {{"--record", "extra"}, 2, false},
      {{"--record", "--chart", "杭州"}, 2, false},
      {{"--chart"}, 2, false},
  };
  for (const Case& c : cases) {
    bool opened = false;
    const int code = vantoril::runCommandLine(c.arguments, "/nonexistent-folder", [&] {
      opened = true;
      return 7;
    });
    const std::string what = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(code, c.exitCode) << what;
    EXPECT_EQ(opened, c.window) << what;
  }
}

}  // namespace
