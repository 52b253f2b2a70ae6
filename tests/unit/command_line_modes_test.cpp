// The program's own command line: which arguments open the window, which
// are refused and how the refusal names what is wrong, and that a refusal
// runs nothing and looks for no folder it does not need. The same table
// runs on Linux and, in the Windows build, under wine.
#include <gtest/gtest.h>

#include <cctype>
#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/CommandLineModes.h"
#include "support/Fakes.h"

namespace {

using vantoril::test::contains;

// std::cout and std::cerr caught for the lifetime of the object.
class CaughtOutput {
 public:
  CaughtOutput() : out_(std::cout.rdbuf(outText.rdbuf())), err_(std::cerr.rdbuf(errText.rdbuf())) {}
  ~CaughtOutput() {
    std::cout.rdbuf(out_);
    std::cerr.rdbuf(err_);
  }
  CaughtOutput(const CaughtOutput&) = delete;
  CaughtOutput& operator=(const CaughtOutput&) = delete;
  std::ostringstream outText, errText;

 private:
  std::streambuf* out_;
  std::streambuf* err_;
};

// The Latin letters of `text` left once the words in `allowed`, every
// option ("--record") and every path are taken out: "" when the text is Chinese.
std::string englishLeft(std::string text, const std::vector<std::string>& allowed) {
  for (const std::string& word : allowed)
    for (std::size_t at; !word.empty() && (at = text.find(word)) != std::string::npos;) text.erase(at, word.size());
  std::string left;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/' && (i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1])))) {
      while (i < text.size() && text[i] != ' ' && text[i] != '\n') ++i;  // a path
      continue;
    }
    if (text.compare(i, 2, "--") == 0 || (text[i] == '-' && i + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[i + 1])))) {
      while (i < text.size() && (std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '-')) ++i;
      continue;
    }
    if (std::isalpha(static_cast<unsigned char>(text[i]))) left += text[i];
  }
  return left;
}

TEST(CommandLineModes, OnlyNoArgumentsOpensTheWindowAndWhatIsRefusedIsNamed) {
  // A program folder with one listed place without records (北京) and one
  // place that is no longer listed but has a data file (旧地名).
  vantoril::test::TempFolder folder;
  vantoril::test::writeGbk(folder / "WebSite/北京.txt", u"file:///nonexistent-vantoril/page.html\r\n");
  std::u16string record = u"天气数据文件\r\n数据记录时间:2015061914\r\n整点\t气温\t降水\t湿度\r\n";
  for (int r = 0; r < 25; ++r) record += vantoril::fromUtf8(std::to_string((r + 14) % 24) + "\t20\t0\t50\r\n");
  vantoril::test::writeGbk(folder / "WeatherData/旧地名-WeatherData.xls", record + u"\r\n");

  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    bool window;
    bool folder;       // the data folder is looked for (which can make it)
    std::string out;   // stdout holds this
    std::string err;   // stderr holds this ("" : stderr is empty)
  };
  const Case cases[] = {
      {{}, 7, true, false, "", ""},
      // Help and version: stdout, exit code 0, no folder.
      {{"--help"}, 0, false, false, "不带选项时打开窗口", ""},
      {{"--version"}, 0, false, false, "vantoril ", ""},
      // What the program does not know is named.
      {{"--bogus"}, 2, false, false, "", "不认识的选项或参数：--bogus"},
      {{"/?"}, 2, false, false, "", "不认识的选项或参数：/?"},
      {{"record"}, 2, false, false, "", "不认识的选项或参数：record"},
      {{"--record", "extra"}, 2, false, false, "", "extra"},
      {{"--record", "--chart", "杭州"}, 2, false, false, "", "--chart"},
      {{"--chart"}, 2, false, false, "", "--chart 后面缺少地名"},
      {{"--find"}, 2, false, false, "", "--find 后面缺少文字"},
      {{"--chart", "北京", "上海"}, 2, false, true, "", "没有这个地名：“上海”"},
      {{"--daily"}, 2, false, false, "", "--daily 只能与 --export 一起用"},
      {{"--export", "t.csv", "--daily", "--with-gaps"}, 2, false, false, "", "--daily 和 --with-gaps 不能一起用"},
      {{"--record=bad"}, 2, false, false, "", "无法读懂命令行：--record=bad"},
      // Places: one the program does not know is a bad argument.
      {{"--chart", "不存在"}, 2, false, true, "", "没有这个地名：“不存在”（地名列表里没有，也没有它的记录）"},
      {{"--chart", "../WeatherData/旧地名"}, 2, false, true, "", "“../WeatherData/旧地名”"},
      {{"--chart", "北京"}, 1, false, true, "", ""},  // listed, no records yet: a failure
      {{"--chart", "旧地名"}, 0, false, true, "旧地名-WeatherData.html", ""},
      {{"--check", "不存在", "北京", "别处"}, 2, false, true, "", "没有这些地名：“不存在”、“别处”（地名列表里没有）"},
      {{"--check", "旧地名"}, 2, false, true, "", "“旧地名”"},  // records, but no address to check
      {{"--check"}, 1, false, true, "北京\t错误：", "1 个地名"},  // every place: 北京's page is missing
      // A time of day that is none: a bad argument, before any folder.
      {{"--schedule", "25:00"}, 2, false, false, "", "--schedule 25:00"},
      {{"--schedule", "8,20:75"}, 2, false, false, "", "20:75"},
      {{"--schedule", "offf"}, 2, false, false, "", "offf"},
      // --notify goes with --record alone.
      {{"--notify"}, 2, false, false, "", "--notify 只能与 --record 一起用"},
      {{"--chart", "杭州", "--notify"}, 2, false, false, "", "--notify 只能与 --record 一起用"},
      {{"--record", "--notify", "--find", "杭"}, 2, false, false, "", "一次只能用一个选项：--record、--find"},
      {{"--find", "杭", "--add", "杭"}, 2, false, false, "", "--find、--add"},
      {{"--export"}, 2, false, false, "", "--export 后面缺少文件 [地名…]"},
      {{"--export", "t.xlsx"}, 2, false, false, "", "文件名须以 .csv（逗号分隔）或 .tsv（制表符分隔）结尾"},
      {{"--with-gaps"}, 2, false, false, "", "--with-gaps 只能与 --export 一起用"},
      {{"--export", "/nonexistent-folder/t.csv", "--with-gaps"}, 1, false, true, "", "/nonexistent-folder/t.csv"},
      {{"--export", "/nonexistent-folder/t.csv", "--record"}, 2, false, false, "", "--record、--export"},
      {{"--coverage", "--chart", "杭州"}, 2, false, false, "", "--chart、--coverage"},
      {{"--coverage"}, 1, false, true, "北京", ""},  // 北京 has no records yet
      {{"--coverage", "不存在"}, 2, false, true, "", "“不存在”"},
      {{"--export", "t.csv", "不存在"}, 2, false, true, "", "“不存在”"},
  };
  for (const Case& c : cases) {
    bool opened = false, looked = false;
    int code = 0;
    CaughtOutput output;
    try {
      code = vantoril::runCommandLine(
          c.arguments,
          [&] {
            looked = true;
            return folder.path();
          },
          [&] {
            opened = true;
            return 7;
          });
    } catch (const std::exception&) {
      code = 1;  // main reports the failure and exits with 1
    }
    const std::string out = output.outText.str(), err = output.errText.str();
    std::string what;
    for (const std::string& a : c.arguments) what += a + ' ';
    EXPECT_EQ(code, c.exitCode) << what << err;
    EXPECT_EQ(opened, c.window) << what;
    EXPECT_EQ(looked, c.folder) << what;
    EXPECT_TRUE(contains(out, c.out)) << what << "stdout: " << out;
    if (c.err.empty()) {
      EXPECT_EQ(err, "") << what;
    } else {
      EXPECT_TRUE(contains(err, c.err)) << what << "stderr: " << err;
    }
    if (c.exitCode == 2 && !c.err.empty()) {
      EXPECT_TRUE(contains(err, "vantoril --help")) << what << err;
      // Chinese throughout: past the arguments and the options, no English word.
      std::vector<std::string> allowed = c.arguments;
      allowed.insert(allowed.end(), {folder.path(), "WebSite", "vantoril", "csv", "tsv"});
      EXPECT_EQ(englishLeft(err, allowed), "") << what << err;
    }
  }
  // The help is Chinese and says what every exit code means.
  CaughtOutput output;
  vantoril::runCommandLine({"--help"}, [] { return std::string(); }, [] { return 7; });
  const std::string help = output.outText.str();
  EXPECT_EQ(englishLeft(help, {"vantoril", "Vantoril", "off", "csv", "tsv", "html"}), "") << help;
  for (const char* code : {"0 完成", "1 失败", "2 不认识", "3 定时记录"}) EXPECT_TRUE(contains(help, code)) << help;
}

TEST(CommandLineModes, ScheduleTakesOffInAnyLetterCaseAndTimesItCanRead) {
  const struct {
    std::string value;
    std::string taken;  // "!": refused as a bad argument
  } cases[] = {
      {"off", "off"}, {"OFF", "off"}, {"Off", "off"}, {"", ""},          {"8,20", "8,20"},
      {"08:00", "08:00"}, {"25:00", "!"}, {"of", "!"},   {"off,8", "!"}, {"8:60", "!"},
  };
  for (const auto& c : cases) {
    if (c.taken == "!") {
      EXPECT_THROW(vantoril::scheduleArgument(c.value), vantoril::BadArgument) << c.value;
    } else {
      EXPECT_EQ(vantoril::scheduleArgument(c.value), c.taken) << c.value;
    }
  }
}

}  // namespace
