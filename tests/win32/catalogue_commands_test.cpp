// The catalogue commands on Windows paths, whose folders end at '\'.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/Form1.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Win32.h"
#include "datafile/PlaceData.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

std::string currentFolder() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, buffer);
  return win32::utf8(buffer);
}

TEST(WindowsRenamePlace, TheRenamedFileStaysInTheCatalogueFolder) {
  // A new name, and the unchanged name (which renames nothing).
  for (const std::u16string answer : {u"首都", u"北京"}) {
    test::FormFixture f;
    test::writeGbk(f.website("北京.txt"), u"http://bj/\r\n");
    ASSERT_TRUE(f.form->load());
    f.form->List1.select(0);
    f.input.answers = {answer};
    const std::string name = toUtf8(answer) + ".txt", stray = currentFolder() + "\\" + name;
    const bool done = f.form->click(f.form->Command5);
    const bool strayMade = fileExists(stray);
    if (strayMade) removeFile(stray);
    EXPECT_TRUE(done) << (f.report.messages.empty() ? "" : f.report.messages.back());
    EXPECT_FALSE(strayMade) << "moved out of the catalogue to " << stray;
    EXPECT_EQ(test::readBytes(f.website(name)), "http://bj/\r\n") << name;
    EXPECT_EQ(f.form->List1.entries(), std::vector<std::u16string>{answer});
  }
}

// The place's data goes with it under Windows paths, also where the new
// name differs in letter case only (the system finds the old files under
// the new name); a data file the new name has already stops the rename.
TEST(WindowsRenamePlace, TheDataGoesAlongAndANameWithDataIsRefused) {
  const struct {
    std::u16string answer;
    bool theirs;  // the new name has a data file of its own
  } cases[] = {{u"首都", false}, {u"Beijing", false}, {u"首都", true}};
  for (const auto& c : cases) {
    test::FormFixture f;
    test::writeGbk(f.website("beijing.txt"), u"http://bj/\r\n");
    for (const char* ending : {".xls", ".pending", ".html"})
      test::writeGbk(f.weatherData(std::string("beijing-WeatherData") + ending), fromUtf8(ending));
    const std::string theirs = f.weatherData(toUtf8(c.answer) + "-WeatherData.xls");
    if (c.theirs) test::writeGbk(theirs, u"theirs");
    ASSERT_TRUE(f.form->load());
    f.form->List1.select(0);
    f.input.answers = {c.answer};
    const bool done = f.form->click(f.form->Command5);
    EXPECT_EQ(done, !c.theirs) << (f.report.messages.empty() ? "" : f.report.messages.back());
    const std::string now = c.theirs ? "beijing" : toUtf8(c.answer);
    std::vector<std::string> names;
    for (const FolderEntry& e : listFolder(f.weatherData())) names.push_back(e.name);
    std::vector<std::string> expected{now + "-WeatherData.html", now + "-WeatherData.pending",
                                      now + "-WeatherData.xls"};
    if (c.theirs) expected.push_back(toUtf8(c.answer) + "-WeatherData.xls");
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected) << toUtf8(c.answer);
    EXPECT_EQ(test::readBytes(f.weatherData(now + "-WeatherData.pending")), ".pending");
    if (c.theirs) {
      EXPECT_EQ(test::readBytes(theirs), "theirs");
    }
    EXPECT_TRUE(fileExists(f.website((c.theirs ? std::string("beijing") : toUtf8(c.answer)) + ".txt")));
  }
}

// A change of letter case stopped after any step (by a failure thrown
// there), a file caught between its two names included: every file goes
// back, or on once the catalogue file has its new name; no file is left
// between names, and no note.
TEST(WindowsRenamePlace, AChangeOfLetterCaseStoppedAfterAnyStepIsUndoneOrFinished) {
  for (int step = 1;; ++step) {
    test::FormFixture f;
    test::writeGbk(f.website("beijing.txt"), u"http://bj/\r\n");
    for (const char* ending : {".xls", ".html"})
      test::writeGbk(f.weatherData(std::string("beijing-WeatherData") + ending), fromUtf8(ending));
    int steps = 0;
    try {
      datafile::renamePlace(f.folder.path(), u"beijing", u"Beijing", f.website("beijing.txt"),
                            f.website("Beijing.txt"), [&] {
                              if (++steps == step) throw Failure("stopped");
                            });
      EXPECT_EQ(step, 8);
      break;
    } catch (const Failure&) {
    }
    const std::string now = step >= 7 ? "Beijing" : "beijing";
    std::vector<std::string> data, catalogue;
    for (const FolderEntry& e : listFolder(f.weatherData())) data.push_back(e.name);
    for (const FolderEntry& e : listFolder(f.website())) catalogue.push_back(e.name);
    std::sort(data.begin(), data.end());
    EXPECT_EQ(data, (std::vector<std::string>{now + "-WeatherData.html", now + "-WeatherData.xls"})) << step;
    EXPECT_EQ(catalogue, std::vector<std::string>{now + ".txt"}) << step;
  }
}

}  // namespace
}  // namespace vantoril
