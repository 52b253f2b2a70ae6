// The program's own command line: which arguments open the window, which
// are refused, and that a refusal runs nothing.
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

#include "app/CommandLineModes.h"

namespace {

TEST(CommandLineModes, OnlyNoArgumentsOpensTheWindowAndArgumentsNamingNoModeAreRefused) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    bool window;
    bool folder;  // the data folder is looked for (which can make it)
  };
  const Case cases[] = {
      {{}, 7, true, false},
      {{"--help"}, 0, false, false},
      {{"--version"}, 0, false, false},
      {{"--bogus"}, 2, false, false},
      {{"record"}, 2, false, false},
      {{"--record", "extra"}, 2, false, false},
      {{"--record", "--chart", "杭州"}, 2, false, false},
      {{"--chart"}, 2, false, false},
      {{"--chart", "杭州"}, 1, false, true},
      // --notify goes with --record alone.
      {{"--notify"}, 2, false, false},
      {{"--chart", "杭州", "--notify"}, 2, false, false},
      {{"--record", "--notify", "--find", "杭"}, 2, false, false},
      {{"--find", "杭", "--add", "杭"}, 2, false, false},
      {{"--export"}, 2, false, false},
      {{"--export", "t.xlsx"}, 2, false, false},
      {{"--with-gaps"}, 2, false, false},
      {{"--export", "/nonexistent-folder/t.csv", "--with-gaps"}, 1, false, true},
      {{"--export", "/nonexistent-folder/t.csv", "--record"}, 2, false, false},
      {{"--coverage", "--chart", "杭州"}, 2, false, false},
      {{"--coverage"}, 0, false, true},
  };
  for (const Case& c : cases) {
    bool opened = false, looked = false;
    int code = 0;
    try {
      code = vantoril::runCommandLine(
          c.arguments,
          [&] {
            looked = true;
            return std::string("/nonexistent-folder");
          },
          [&] {
            opened = true;
            return 7;
          });
    } catch (const std::exception&) {
      code = 1;  // main reports the failure and exits with 1
    }
    const std::string what = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(code, c.exitCode) << what;
    EXPECT_EQ(opened, c.window) << what;
    EXPECT_EQ(looked, c.folder) << what;
  }
}

}  // namespace
