// Handing files, folders and addresses to other programs: the command lines
// of proc1 and of the three shell buttons, and how they are read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/Shell.h"
#include "platform/CommandLine.h"
#include "platform/XdgProcessStarter.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "support/Fakes.h"

namespace vantoril {
namespace {

namespace fs = std::filesystem;
using test::FormFixture;
using test::writeGbk;
using Args = std::vector<std::u16string>;

const std::u16string kPrefix = u"rundll32 url.dll,FileProtocolHandler ";
const std::u16string kBrowser = u"C:\\\\Program Files\\\\Internet Explorer\\\\IEXPLORE.exe";

// A started window with one place, its file holding `content`, selected.
struct OnePlace : FormFixture {
  explicit OnePlace(std::u16string_view content) {
    writeGbk(website("北京.txt"), content);
    if (!form->load() || !form->userSelect(0)) throw std::runtime_error("set-up failed");
  }
};

// ------------------------------------------------------------- constants

TEST(ShellConstants, AreTheFixedLiterals) {
  EXPECT_EQ(commandline::kProtocolHandlerPrefix, kPrefix);
  EXPECT_EQ(commandline::kProtocolHandlerPrefix.size(), 37u);
  EXPECT_EQ(commandline::kBrowserPath, kBrowser);
  EXPECT_EQ(commandline::kBrowserPath.size(), 50u);
  EXPECT_EQ(toUtf8(commandline::kBrowserPath), R"(C:\\Program Files\\Internet Explorer\\IEXPLORE.exe)");
  // The guide's address: a file:// address without a blank, on both systems.
  EXPECT_EQ(shell::guideAddress("/usr/lib/vantoril"), u"file:///usr/lib/vantoril/guide.html");
  EXPECT_EQ(shell::guideAddress(R"(C:\Program Files\Vantoril)"), u"file:///C:/Program%20Files/Vantoril/guide.html");
  EXPECT_EQ(shell::guideAddress("/home/张 三/v"), u"file:///home/%E5%BC%A0%20%E4%B8%89/v/guide.html");
}

// ------------------------------------------------------------------ proc1

TEST(Proc1, QuotesThePathUnchangedAndStartsANormalWindow) {
  FormFixture f;
  for (std::u16string_view path : {u"/opt/v/WebSite/北京.txt", u"a \"quoted\" path", u"", u"C:\\dir\\"}) {
    f.starter.calls.clear();
    f.form->proc1(std::u16string(path));
    ASSERT_EQ(f.starter.calls.size(), 1u);
    EXPECT_EQ(f.starter.calls[0].commandLine, kPrefix + u"\"" + std::u16string(path) + u"\"");
    EXPECT_EQ(f.starter.calls[0].style, WindowStyle::NormalFocus);
    // What is opened is the path as given.
    EXPECT_EQ(commandline::thingsToOpen(f.starter.calls[0].commandLine), Args{std::u16string(path)});
  }
}

// ---------------------------------------------------------------- buttons

TEST(MakersPage, StartsTheBrowserMinimisedWithTheGuideInstalledBesideTheProgram) {
  FormFixture f;
  const std::string guide = programFolder() + "/guide.html";
  ASSERT_TRUE(fileExists(guide)) << "the build puts the guide beside the program";
  EXPECT_TRUE(readWholeFile(guide).find("<title>Vantoril 使用说明</title>") != std::string::npos);
  ASSERT_TRUE(f.form->click(f.form->Command2));
  ASSERT_EQ(f.starter.calls.size(), 1u);
  const std::u16string address = shell::guideAddress(programFolder());
  EXPECT_EQ(f.starter.calls[0].commandLine, kBrowser + u" " + address);
  EXPECT_EQ(f.starter.calls[0].style, WindowStyle::MinimizedFocus);
  EXPECT_EQ(commandline::thingsToOpen(f.starter.calls[0].commandLine), Args{address});
}

TEST(DataFolder, HandsTheDataFolderWithItsTrailingSeparatorEvenWhenMissing) {
  FormFixture f;
  ASSERT_FALSE(fs::exists(f.weatherData()));
  ASSERT_TRUE(f.form->click(f.form->Command3));
  ASSERT_EQ(f.starter.calls.size(), 1u);
  const std::u16string folder = fromUtf8(f.folder.path()) + u"/WeatherData/";
  EXPECT_EQ(f.starter.calls[0].commandLine, kPrefix + u"\"" + folder + u"\"");
  EXPECT_EQ(f.starter.calls[0].style, WindowStyle::NormalFocus);
  EXPECT_FALSE(fs::exists(f.weatherData())) << "opening the data folder created it";
}

TEST(OpenWebPage, PassesEveryLineOfTheFileFollowedByCrLfUnquoted) {
  struct Case {
    std::u16string content, arguments;
  };
  const Case cases[] = {
      {u"http://www.weather.com.cn/weather1d/101010100.shtml\r\n",
       u"http://www.weather.com.cn/weather1d/101010100.shtml\r\n"},
      {u"http://one/", u"http://one/\r\n"},
      {u"http://one/\r\nhttp://two/\r\n", u"http://one/\r\nhttp://two/\r\n"},
      {u"", u""},
      {u"http://a b/ c\r\n", u"http://a b/ c\r\n"},
      {u"http://中国天气/\r\n", u"http://中国天气/\r\n"},
  };
  for (const Case& c : cases) {
    OnePlace f(c.content);
    const std::u16string text14 = f.form->Text14.text();
    ASSERT_TRUE(f.form->click(f.form->Command8)) << toUtf8(c.content);
    ASSERT_EQ(f.starter.calls.size(), 1u);
    EXPECT_EQ(f.starter.calls[0].commandLine, kBrowser + u" " + c.arguments) << toUtf8(c.content);
    EXPECT_EQ(f.starter.calls[0].style, WindowStyle::MinimizedFocus);
    // No control and no file changes.
    EXPECT_EQ(f.form->Text14.text(), text14);
    EXPECT_EQ(test::readBytes(f.website("北京.txt")), cp936::encode(c.content));
  }
}

TEST(OpenWebPage, ReadsTheFileAfreshOnEveryClick) {
  OnePlace f(u"http://old/\r\n");
  writeGbk(f.website("北京.txt"), u"http://new/\r\n");
  ASSERT_TRUE(f.form->click(f.form->Command8));
  ASSERT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(f.starter.calls[0].commandLine, kBrowser + u" http://new/\r\n");
}

TEST(OpenWebPage, AMissingFileIsReportedAndStartsNothing) {
  {
    OnePlace f(u"http://x/\r\n");
    fs::remove(f.website("北京.txt"));
    EXPECT_FALSE(f.form->click(f.form->Command8));
    EXPECT_EQ(f.report.messages.size(), 1u);
    EXPECT_TRUE(f.starter.calls.empty());
    EXPECT_FALSE(fs::exists(f.website("北京.txt"))) << "the button created the file";
  }
  {
    // Nothing selected right after start, and no stray file.
    FormFixture f;
    writeGbk(f.website("北京.txt"), u"http://x/\r\n");
    ASSERT_TRUE(f.form->load());
    EXPECT_FALSE(f.form->click(f.form->Command8));
    EXPECT_EQ(f.report.messages.size(), 1u);
    EXPECT_TRUE(f.starter.calls.empty());
  }
}

TEST(OpenWebPage, ACatalogueFileThatIsAFifoCountsAsMissingAndIsNotRead) {
  FormFixture f;
  writeGbk(f.website("北京.txt"), u"http://x/\r\n");
  ASSERT_TRUE(f.form->load());
  const std::string fifo = f.website("北京.txt");
  fs::remove(fifo);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  f.form->userSelect(0);  // cannot create the placeholder over the FIFO; the entry stays selected
  ASSERT_EQ(f.form->List1.selectedText(), u"北京");
  f.report.messages.clear();
  // No program writes to the FIFO: opening it to read would wait for one.
  auto click = std::async(std::launch::async, [&f] { return f.form->click(f.form->Command8); });
  if (click.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // lets the waiting open go on
    if (writer >= 0) ::close(writer);
    click.wait();
    FAIL() << "Command8 waits for a writer of the FIFO: the window hangs";
  }
  EXPECT_FALSE(click.get()) << "Command8 read a FIFO as the catalogue file";
  EXPECT_TRUE(f.starter.calls.empty());
}

TEST(OpenWebPage, ReadsTheProgramFoldersFileWhateverTheCurrentDirectory) {
  OnePlace f(u"http://right/\r\n");
  test::TempFolder elsewhere;
  writeGbk(elsewhere / "WebSite/北京.txt", u"http://wrong/\r\n");
  bool clicked = false;
  {
    const test::InFolder in(elsewhere.path());
    clicked = f.form->click(f.form->Command8);
  }
  ASSERT_TRUE(clicked);
  ASSERT_EQ(f.starter.calls.size(), 1u);
  EXPECT_EQ(f.starter.calls[0].commandLine, kBrowser + u" http://right/\r\n");
}

// --------------------------------------------------- reading command lines

TEST(SplitArguments, BlanksAndTabsSeparate) {
  EXPECT_EQ(commandline::splitArguments(u"a b\tc"), (Args{u"a", u"b", u"c"}));
  EXPECT_EQ(commandline::splitArguments(u"  a  \t b  "), (Args{u"a", u"b"}));
  EXPECT_EQ(commandline::splitArguments(u""), Args{});
  EXPECT_EQ(commandline::splitArguments(u" \t "), Args{});
  // Line ends are no separators.
  EXPECT_EQ(commandline::splitArguments(u"a\r\nb"), Args{u"a\r\nb"});
}

TEST(SplitArguments, DoubleQuotesGroupAndMayJoinWithText) {
  EXPECT_EQ(commandline::splitArguments(u"\"a b\" c"), (Args{u"a b", u"c"}));
  EXPECT_EQ(commandline::splitArguments(u"x\"a b\"y z"), (Args{u"xa by", u"z"}));
  EXPECT_EQ(commandline::splitArguments(u"\"\""), Args{u""});
  EXPECT_EQ(commandline::splitArguments(u"a \"\" b"), (Args{u"a", u"", u"b"}));
  // An unclosed quote runs to the end.
  EXPECT_EQ(commandline::splitArguments(u"\"a b"), Args{u"a b"});
  // Two quotes inside a quoted part give one literal quote.
  EXPECT_EQ(commandline::splitArguments(u"\"a\"\"b\" c"), (Args{u"a\"b", u"c"}));
}

TEST(SplitArguments, BackslashesEscapeOnlyBeforeAQuote) {
  EXPECT_EQ(commandline::splitArguments(u"C:\\dir\\file"), Args{u"C:\\dir\\file"});
  EXPECT_EQ(commandline::splitArguments(u"C:\\\\dir"), Args{u"C:\\\\dir"});
  EXPECT_EQ(commandline::splitArguments(u"a\\\"b"), Args{u"a\"b"});           // 1 + quote: literal quote
  EXPECT_EQ(commandline::splitArguments(u"a\\\\\"b c\""), Args{u"a\\b c"});   // 2 + quote: one backslash, quote groups
  EXPECT_EQ(commandline::splitArguments(u"a\\\\\\\"b"), Args{u"a\\\"b"});     // 3 + quote
  EXPECT_EQ(commandline::splitArguments(u"\"C:\\dir\\\\\" x"), (Args{u"C:\\dir\\", u"x"}));
}

TEST(ThingsToOpen, TheProtocolHandlerOpensItsArgumentLessItsQuotes) {
  EXPECT_EQ(commandline::thingsToOpen(kPrefix + u"\"/a b/c.txt\""), Args{u"/a b/c.txt"});
  EXPECT_EQ(commandline::thingsToOpen(kPrefix + u"\"/x/WeatherData/\""), Args{u"/x/WeatherData/"});
  // A quote inside the path stays.
  EXPECT_EQ(commandline::thingsToOpen(kPrefix + u"\"a\"b\""), Args{u"a\"b"});
  EXPECT_EQ(commandline::thingsToOpen(kPrefix + u"unquoted path"), Args{u"unquoted path"});
}

TEST(ThingsToOpen, TheBrowserOpensEachArgumentWithoutTheLineEndsAFileBrings) {
  EXPECT_EQ(commandline::thingsToOpen(kBrowser + u" http://x/\r\n"), Args{u"http://x/"});
  EXPECT_EQ(commandline::thingsToOpen(kBrowser + u" http://a b/\r\n"), (Args{u"http://a", u"b/"}));
  EXPECT_EQ(commandline::thingsToOpen(kBrowser + u" "), Args{});
  EXPECT_EQ(commandline::thingsToOpen(kBrowser), Args{});
  EXPECT_EQ(commandline::thingsToOpen(kBrowser + u" \r\n"), Args{});
  // Each line of a two-line address file is opened on its own.
  EXPECT_EQ(commandline::thingsToOpen(kBrowser + u" http://one/\r\nhttp://two/\r\n"),
            (Args{u"http://one/", u"http://two/"}));
  EXPECT_EQ(commandline::thingsToOpen(kBrowser + u" file:///C:/Program%20Files/Vantoril/guide.html"),
            Args{u"file:///C:/Program%20Files/Vantoril/guide.html"});
}

TEST(ThingsToOpen, AnyOtherCommandLineFails) {
  EXPECT_THROW(commandline::thingsToOpen(u"notepad x.txt"), Failure);
  EXPECT_THROW(commandline::thingsToOpen(u""), Failure);
  EXPECT_THROW(commandline::thingsToOpen(kBrowser + u"x http://a/"), Failure);
  EXPECT_THROW(commandline::thingsToOpen(u"rundll32 url.dll,FileProtocolHandler"), Failure);  // no blank
}

TEST(XdgStarter, FailsClearlyWhenThereIsNoProgramToOpenIt) {
  try {
    XdgProcessStarter("vantoril-no-such-opener").start(shell::openCommand(u"/tmp"), WindowStyle::NormalFocus);
    ADD_FAILURE() << "a missing program was started";
  } catch (const Failure& e) {
    EXPECT_NE(std::string(e.what()).find("vantoril-no-such-opener"), std::string::npos) << e.what();
  }
  EXPECT_NO_THROW(XdgProcessStarter("true").start(shell::openCommand(u"/tmp"), WindowStyle::NormalFocus));
}

TEST(XdgStarter, APathGoesAsAFileAddressAndAFailedOpenerIsToldWithThePath) {
  using namespace std::string_literals;
  EXPECT_EQ(fileAddress("/tmp/北京-WeatherData.html"), "file:///tmp/%E5%8C%97%E4%BA%AC-WeatherData.html");
  EXPECT_EQ(fileAddress("/a b/%#?&'\"+;\\/x_y.z~-Q9/"), "file:///a%20b/%25%23%3F%26%27%22%2B%3B%5C/x_y.z~-Q9/");

  // A real opener: it writes down its argument and ends with the exit
  // status its "status" file holds.
  test::TempFolder t;
  const std::string opener = t / "opener";
  writeWholeFile(opener, "#!/bin/sh\nstatus=$(cat '" + (t / "status") + "')\nprintf '%s\\n' \"$1\" >>'" +
                             (t / "opened") + "'\nexit $status\n");
  fs::permissions(opener, fs::perms::owner_all);
  XdgProcessStarter starter(opener);
  std::mutex mutex;
  std::vector<std::string> told;
  starter.tellLateFailures([&](const std::string& message) {
    const std::lock_guard<std::mutex> lock(mutex);
    told.push_back(message);
  });
  // Opens `path` with the opener ending in `status`; the opener's argument,
  // and what was told by the time the opener has been gone a while.
  const auto open = [&](std::u16string_view commandLine, const char* status) {
    writeWholeFile(t / "status", status);
    fs::remove(test::fsPath(t / "opened"));
    starter.start(std::u16string(commandLine), WindowStyle::NormalFocus);
    for (int i = 0; i < 200 && !readFileIfExists(t / "opened").value_or("").ends_with('\n'); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::lock_guard<std::mutex> lock(mutex);
    return std::pair(readFileIfExists(t / "opened").value_or(""), told);
  };
  using Told = std::vector<std::string>;
  EXPECT_EQ(open(shell::openCommand(u"/tmp/北京 页.html"), "0"),
            std::pair("file:///tmp/%E5%8C%97%E4%BA%AC%20%E9%A1%B5.html\n"s, Told{}));
  EXPECT_EQ(open(kBrowser + u" http://a/b?c=1", "0"), std::pair("http://a/b?c=1\n"s, Told{}));  // an address: as it is
  const Told failed{"无法打开 /tmp/北京 页.html：没有能打开它的程序，或那个程序打开失败"};
  EXPECT_EQ(open(shell::openCommand(u"/tmp/北京 页.html"), "4").second, failed);
  // Once nobody listens, a failure is told to nobody.
  starter.tellLateFailures(nullptr);
  EXPECT_EQ(open(shell::openCommand(u"/tmp/x.html"), "4").second, failed);
}

TEST(XdgStarter, DesktopEntryCommandLeavesOutTheFieldCodes) {
  struct Case {
    const char* file;
    std::vector<std::string> command;
  };
  const Case cases[] = {
      {"[Desktop Entry]\nName=B\nExec=firefox-esr %u\n", {"firefox-esr"}},
      {"[Desktop Entry]\r\nExec = \"/opt/My Browser/run\" --new-window %U\r\n", {"/opt/My Browser/run", "--new-window"}},
      {"[Desktop Entry]\nExec=run --url=%u 100%% \"a\\\\\"b\" %i %c %k\n", {"run", "--url=", "100%", "a\"b"}},
      // Only the main group counts; TryExec and translated keys are not Exec.
      {"[Desktop Action new]\nExec=wrong\n[Desktop Entry]\nTryExec=wrong\nExec[de]=wrong\nExec=right\n", {"right"}},
      {"[Desktop Entry]\nName=No command\n", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(desktopEntryCommand(c.file), c.command) << c.file;
}

// The program's environment changed for a test's lifetime.
class Environment {
 public:
  void set(const char* name, const std::string& value) {
    save(name);
    ::setenv(name, value.c_str(), 1);
  }
  void unset(const char* name) {
    save(name);
    ::unsetenv(name);
  }
  ~Environment() {
    for (const auto& [name, value] : saved_)
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }

 private:
  void save(const char* name) {
    const char* value = std::getenv(name);
    saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

void writeScript(const std::string& path, const std::string& text) {
  writeWholeFile(path, "#!/bin/sh\n" + text);
  fs::permissions(path, fs::perms::owner_all);
}

TEST(XdgStarter, AnEmptyAddressStartsTheDefaultBrowserOnABlankPage) {
  test::TempFolder t;
  fs::create_directories(t / "bin");
  writeScript(t / "bin/xdg-settings", "echo fake-browser.desktop\n");
  writeScript(t / "bin/browser", "echo \"$#:$*\" >\"$0.started\"\n");
  fs::create_directories(t / "share/applications");
  writeWholeFile(t / "share/applications/fake-browser.desktop",
                       "[Desktop Entry]\nExec=\"" + (t / "bin/browser") + "\" --new-window %U\n");
  Environment environment;
  environment.set("PATH", t / "bin");
  environment.set("XDG_DATA_HOME", t / "share");
  environment.set("XDG_DATA_DIRS", t / "none");
  environment.unset("BROWSER");

  // The arguments the browser was started with, once it has written them.
  const auto startedWith = [started = t / "bin/browser.started"] {
    // The shell makes the file before it writes the line: wait for the line.
    for (int i = 0; i < 200 && !(fileExists(started) && test::readBytes(started).ends_with('\n')); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string line = test::readBytes(started);
    fs::remove(started);
    return line;
  };

  // An empty catalogue file, and one with an empty line (New with no address).
  for (std::u16string_view arguments : {u"", u"\r\n"}) {
    XdgProcessStarter().start(kBrowser + u" " + std::u16string(arguments), WindowStyle::MinimizedFocus);
    EXPECT_EQ(startedWith(), "1:--new-window\n");
  }

  // A relative XDG_DATA_HOME does not count, even where it would lead to a
  // desktop file: the one under HOME is taken.
  fs::create_directories(t / "home/.local/share/applications");
  writeWholeFile(t / "home/.local/share/applications/fake-browser.desktop",
                 "[Desktop Entry]\nExec=\"" + (t / "bin/browser") + "\" --from-home %U\n");
  environment.set("HOME", t / "home");
  environment.set("XDG_DATA_HOME", "share");
  {
    const test::InFolder in(t.path());
    XdgProcessStarter().start(kBrowser + u" ", WindowStyle::MinimizedFocus);
  }
  EXPECT_EQ(startedWith(), "1:--from-home\n");

  // No default browser, no $BROWSER, no x-www-browser: a message says so.
  environment.set("PATH", t / "nowhere");
  try {
    XdgProcessStarter().start(kBrowser + u" ", WindowStyle::MinimizedFocus);
    ADD_FAILURE() << "no browser, yet nothing failed";
  } catch (const Failure& e) {
    EXPECT_TRUE(test::contains(e.what(), "网页浏览器")) << e.what();
    EXPECT_TRUE(test::contains(e.what(), "x-www-browser")) << e.what();
  }
}

}  // namespace
}  // namespace vantoril
