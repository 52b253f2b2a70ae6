// The catalogue commands on Windows paths, whose folders end at '\'.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/Form1.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Win32.h"
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

}  // namespace
}  // namespace vantoril
