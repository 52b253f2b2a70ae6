// The real program's --record mode, run from a program folder of its own
// against pages on a loopback server; and the downloader's time-out.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../support/Fakes.h"
#include "../support/HttpServer.h"
#include "../support/Immutable.h"
#include "../support/ProgramFolder.h"
#include "../support/SampleData.h"
#include "platform/Cp936.h"
#include "app/Headless.h"
#include "export/Export.h"
#include "platform/RunLock.h"
#include "datafile/PlaceData.h"
#include "notify/Notifier.h"
#include "platform/CurlDownloader.h"
#include "platform/Failure.h"
#include "platform/RunLock.h"
#include "platform/Text.h"

namespace vantoril {
namespace {

using test::HttpServer;
using test::TempFolder;

using test::ProgramFolder;
using test::linesOf;

HttpServer::Response htmlOf(const std::string& file) {
  return {200, "text/html; charset=utf-8", test::sampleData(file)};
}

// The place a stdout line is about: the text before its tab.
std::string placeOf(const std::string& line) { return line.substr(0, line.find('\t')); }

TEST(HeadlessRecord, RecordsEveryPlaceAndExitsWithZero) {
  HttpServer server;
  server.route("/weather1d/101210101.shtml", htmlOf("hangzhou-2014.html"));
  server.route("/weather1d/101050101.shtml", htmlOf("harbin-2016.html"));
  server.route("/weather1d/101280101.shtml", htmlOf("../../demo/pages/guangzhou.html"));
  const std::map<std::string, std::string> times = {
      {"杭州", "2014061914"}, {"哈尔滨", "2016030208"}, {"广州", "2020060923"}};
  ProgramFolder program;
  program.place("杭州", server.url("/weather1d/101210101.shtml"));
  program.place("哈尔滨", server.url("/weather1d/101050101.shtml"));
  program.place("广州", server.url("/weather1d/101280101.shtml"));

  const bool rootHadDataFolder = std::filesystem::exists("/WeatherData");
  const auto result = program.record();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  ASSERT_EQ(result.out.size(), 3u);
  std::vector<std::string> seen;
  for (const std::string& line : result.out) {
    const std::string place = placeOf(line);
    ASSERT_EQ(times.count(place), 1u) << line;
    EXPECT_EQ(line, place + "\t" + times.at(place));
    seen.push_back(place);
    const std::string bytes = test::readBytes(program.dataFile(place));
    EXPECT_EQ(test::crlfCount(bytes), 29u) << place;
    EXPECT_TRUE(cp936::decode(bytes).starts_with(u"天气数据文件\r\n数据记录时间:" + fromUtf8(times.at(place)) + u"\r\n"))
        << place;
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
  // The harbin record holds the page's longer values whole.
  const std::u16string harbin = cp936::decode(test::readBytes(program.dataFile("哈尔滨")));
  EXPECT_NE(harbin.find(u"\r\n07\t-10.5\t0.0\t70\r\n"), std::u16string::npos);
  EXPECT_NE(harbin.find(u"\r\n01\t-10\t12.5\t73\r\n"), std::u16string::npos);
  // Nothing was written beside the current folder "/".
  if (!rootHadDataFolder) {
    EXPECT_FALSE(std::filesystem::exists("/WeatherData"));
  }
  // An overview page that cannot be written takes nothing from the run: the log says why.
  const std::string overview = program.folder / "WeatherData/一览.html";
  std::filesystem::remove(test::fsPath(overview));
  std::filesystem::create_directory(test::fsPath(overview));
  EXPECT_EQ(program.record().exitCode, 0);
  const std::string log = test::readBytes(program.folder / "vantoril.log");
  EXPECT_TRUE(test::contains(log, "\t一览\t无法写出一览页 " + overview + "：")) << log;
}

// The list shows 北京, 哈尔滨, 杭州: the dead place is the middle one.
TEST(HeadlessRecord, ADeadPlaceIsReportedThePlacesAfterItAreRecordedAndTheExitCodeSaysSo) {
  HttpServer server;
  server.route("/a.shtml", htmlOf("hangzhou-2014.html"));
  server.route("/c.shtml", htmlOf("harbin-2016.html"));
  test::RefusingPort refusing;
  for (const std::string& dead : {server.url("/missing.shtml"), refusing.url("/b.shtml"), std::string("http:")}) {
    SCOPED_TRACE(dead);
    ProgramFolder program;
    program.place("北京", server.url("/a.shtml"));
    program.place("哈尔滨", dead);
    program.place("杭州", server.url("/c.shtml"));

    const auto result = program.record();
    EXPECT_EQ(result.exitCode, 1);
    ASSERT_EQ(result.out.size(), 3u) << result.err;
    EXPECT_EQ(result.out[0], "北京\t2014061914");
    EXPECT_EQ(result.out[1].rfind("哈尔滨\t错误：", 0), 0u) << result.out[1];
    EXPECT_EQ(result.out[2], "杭州\t2016030208");
    // Of the places not recorded, the report names the dead place only, with
    // its address; then the two recorded pages, which stopped updating long ago.
    const std::string notRecorded = result.err.substr(0, result.err.find("\n\n"));
    EXPECT_NE(notRecorded.find("\n哈尔滨: "), std::string::npos) << result.err;
    EXPECT_NE(notRecorded.find(dead), std::string::npos) << result.err;
    EXPECT_EQ(notRecorded.find("杭州"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("\n\n以下 2 个地名的网页已超过 48 小时没有更新"), std::string::npos) << result.err;
    for (const char* recorded : {"北京", "杭州"})
      EXPECT_EQ(test::crlfCount(test::readBytes(program.dataFile(recorded))), 29u) << recorded;
    EXPECT_FALSE(std::filesystem::exists(program.dataFile("哈尔滨")));
  }
}

TEST(HeadlessRecord, NoPlaceRecordsNothingSaysWhereToPutThemAndMakesTheFolder) {
  ProgramFolder program;
  const auto result = program.record();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_EQ(result.err, noPlacesText(program.folder / "WebSite") + "\n");
  EXPECT_TRUE(std::filesystem::is_directory(program.folder / "WebSite"));
  EXPECT_FALSE(std::filesystem::exists(program.folder / "WeatherData"));
}

// "vantoril --record" started in the background, its output in files of
// its own; waited for with finish().
struct BackgroundRun {
  pid_t pid = -1;
  std::string out, err;
  BackgroundRun(const ProgramFolder& program, const std::string& name)
      : out(program.folder / (name + ".out")), err(program.folder / (name + ".err")) {
    pid = ::fork();
    if (pid == 0) {
      const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::chdir("/") != 0) ::_exit(127);
      ::execl(program.program.c_str(), program.program.c_str(), "--record", static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~BackgroundRun() {
    if (pid > 0) kill();
  }
  void kill() {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
  }
  int finish() {
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Waits (at most a minute) until `done` holds.
  static bool waitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 6000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

// A run started while another holds the run lock waits for it, whether it
// ends (here: its download fails when its server goes) or is killed, and
// then records; the log shows the two runs one after the other.
TEST(HeadlessRecord, ASecondRunWaitsForTheFirstThenRecords) {
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "the first run killed" : "the first run ending");
    HttpServer good;
    good.route("/hz", htmlOf("hangzhou-2014.html"));
    std::optional<HttpServer> hanging(std::in_place);
    hanging->neverAnswer("/hz");
    ProgramFolder program;
    program.place("杭州", hanging->url("/hz"));

    BackgroundRun first(program, "first");
    ASSERT_TRUE(BackgroundRun::waitFor([&] { return hanging->requestCount() > 0; }));
    BackgroundRun second(program, "second");
    ASSERT_TRUE(BackgroundRun::waitFor([&] {
      return fileExists(second.err) && test::contains(test::readBytes(second.err), "另一次记录正在进行");
    }));
    program.place("杭州", good.url("/hz"));
    if (killed) {
      first.kill();
    } else {
      hanging.reset();  // the first run's download fails; it ends
      EXPECT_EQ(first.finish(), 1);
    }
    EXPECT_EQ(second.finish(), 0) << test::readBytes(second.err);
    EXPECT_EQ(test::readBytes(second.out), "杭州\t2014061914\n");
    EXPECT_EQ(test::readBytes(program.dataFile("杭州")), test::sampleData("hangzhou-2014.WeatherData.xls"));

    std::vector<std::string> log = linesOf(test::readBytes(program.folder / "vantoril.log"));
    for (std::string& line : log) line = line.substr(20);  // the time
    std::vector<std::string> expected = {"杭州\t2014061914（过时：观测时间 2014年6月19日 14时 已超过 48 小时，页面不再更新）",
                                         "运行结束\t地名 1\t记录 1\t暂存 0\t跳过 0\t错误 0\t退出码 0"};
    if (!killed) {
      ASSERT_EQ(log.size(), 4u);
      EXPECT_TRUE(log[0].starts_with("杭州\t错误：")) << log[0];
      EXPECT_EQ(log[1], "运行结束\t地名 1\t记录 0\t暂存 0\t跳过 0\t错误 1\t退出码 1");
      log.erase(log.begin(), log.begin() + 2);
    }
    EXPECT_EQ(log, expected);
  }
}

// A program folder with one place, 杭州, recorded once from a local server.
std::string repeated(const std::string& bytes, int times) {
  std::string all;
  while (times-- > 0) all += bytes;
  return all;
}

struct RecordedOnce {
  HttpServer server;
  ProgramFolder program;
  std::string data, once, record;
  RecordedOnce() {
    server.route("/hz", htmlOf("hangzhou-2014.html"));
    program.place("杭州", server.url("/hz"));
    EXPECT_EQ(program.record().exitCode, 0);
    data = program.dataFile("杭州");
    once = test::readBytes(data);
    record = once.substr(cp936::encode(u"天气数据文件\r\n").size());
  }
};

// A data file that may not be written (immutable, which holds for root
// too; or read-only where the tests run as another user): the record waits
// in the pending file, and lands at the next run before that run's own.
TEST(HeadlessRecord, ARecordTheDataFileCannotTakeWaitsAndLandsAtTheNextRun) {
  const RecordedOnce r;
  const ProgramFolder& program = r.program;
  const std::string &data = r.data, &once = r.once, &record = r.record;
  ASSERT_EQ(once, test::sampleData("hangzhou-2014.WeatherData.xls"));
  // With a torn end, which cannot leave a data file that cannot be cut: it
  // is copied nowhere until it can, then once.
  const std::string torn = record.substr(0, 3), damaged = program.folder / "WeatherData/杭州-WeatherData.damaged";
  writeWholeFile(data, once + torn);
  {
    std::optional<test::Immutable> immutable;
    if (::geteuid() == 0) {
      immutable.emplace(data);
      if (!immutable->ok()) GTEST_SKIP() << "running as root, and chattr +i does not work here: no way to make the data file read-only";
    } else {
      std::filesystem::permissions(data, std::filesystem::perms::owner_read);
    }
    for (int run = 1; run <= 3; ++run) {
    const auto result = program.record();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(result.out.size(), 1u);
    EXPECT_TRUE(result.out[0].starts_with("杭州\t2014061914\t暂存：数据文件被占用或不能写入，本次记录已暂存，下次记录时补写（"))
        << result.out[0];
    EXPECT_TRUE(test::contains(result.err, "杭州: 数据文件被占用或不能写入，本次记录已暂存，下次记录时补写（无法打开文件 " + data)) << result.err;
    EXPECT_EQ(test::readBytes(data), once + torn);
    EXPECT_FALSE(std::filesystem::exists(damaged));
    EXPECT_EQ(test::readBytes(program.folder / "WeatherData/杭州-WeatherData.pending"), repeated(record, run));
    const auto log = linesOf(test::readBytes(program.folder / "vantoril.log"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().substr(20), "运行结束\t地名 1\t记录 0\t暂存 1\t跳过 0\t错误 0\t退出码 0");
    }
    if (!immutable) {
      std::filesystem::permissions(data, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
  }
  const auto result = program.record();
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(test::contains(result.err, "3 字节不完整的内容")) << result.err;
  EXPECT_EQ(test::readBytes(data), once + repeated(record, 4));
  EXPECT_EQ(test::readBytes(damaged), torn);
  EXPECT_FALSE(std::filesystem::exists(program.folder / "WeatherData/杭州-WeatherData.pending"));
}

// A data file saved again by a spreadsheet keeps every record, and the next
// run's record follows them on a line of its own: LibreOffice with the
// options the program registers (LF line ends, empty cells as trailing
// tabs), its line ends alone made LF, Excel's quoted cells without the last
// line break. Nothing is torn, every hour of both records is exported.
TEST(HeadlessRecord, ADataFileSavedAgainByASpreadsheetKeepsItsRecordsAndTheNextFollows) {
  const std::string harbin = test::sampleData("harbin-2016.WeatherData.xls");
  std::string lf = harbin, quoted;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.replace(at, 2, "\n");
  for (std::size_t at = 0, next; (next = harbin.find("\r\n", at)) != std::string::npos; at = next + 2) {
    const std::string line = harbin.substr(at, next - at);
    const bool row = !line.empty() && line[0] >= '0' && line[0] <= '9';
    quoted += row ? "\"" : "";
    for (const char c : line) quoted += c == '\t' && row ? std::string("\"\t\"") : std::string(1, c);
    quoted += row ? "\"" : "";
    if (next + 4 < harbin.size()) quoted += "\r\n";
  }
  for (const std::string variant : {"LF", "Excel", "LibreOffice"}) {
    SCOPED_TRACE(variant);
    const RecordedOnce r;
    const std::string saved = r.program.folder / "saved";
    writeWholeFile(r.data, variant == "LF" ? lf : variant == "Excel" ? quoted : harbin);
    if (variant == "LibreOffice") {
      if (std::system("soffice --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "LibreOffice (soffice) is not installed: the file it saves again was not tried";
      const std::string command = "cd '" + r.program.folder.path() + "' && timeout 300 soffice -env:UserInstallation=file://" +
                                  (r.program.folder / "lo") +
                                  " --headless '--infilter=Text - txt - csv (StarCalc):9,34,61,1,1/2,1033'"
                                  " --convert-to 'xls:Text - txt - csv (StarCalc):9,34,61' --outdir saved '" + r.data +
                                  "' >lo.log 2>&1";
      ASSERT_EQ(std::system(command.c_str()), 0) << test::readBytes(r.program.folder / "lo.log");
      std::filesystem::rename(test::fsPath(saved + "/杭州-WeatherData.xls"), test::fsPath(r.data));
      ASSERT_TRUE(test::contains(test::readBytes(r.data), ":2016030208\t\t\t\n")) << test::readBytes(r.data);
    }
    const std::string before = test::readBytes(r.data);
    EXPECT_EQ(r.program.record().exitCode, 0);
    const std::string after = test::readBytes(r.data);
    EXPECT_EQ(after, before + (variant == "Excel" ? "\r\n" : "") + r.record);
    EXPECT_FALSE(std::filesystem::exists(r.program.folder / "WeatherData/杭州-WeatherData.damaged"));
    const auto exported = r.program.run("--export '" + (r.program.folder / "t.tsv") + "'");
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, std::vector<std::string>{"已写入 " + (r.program.folder / "t.tsv") + "：50 行，1 个地名"});
    const std::string table = test::readBytes(r.program.folder / "t.tsv");
    EXPECT_TRUE(test::contains(table, "杭州\t2016-03-01 08:00\t-8\t0")) << table;
    EXPECT_TRUE(test::contains(table, "杭州\t2014-06-19 14:00\t")) << table;
  }
}

// A run killed between copying a torn end to the damaged file and cutting
// it from the data file: the next run cuts it, and copies it no second time.
TEST(HeadlessRecord, ATornEndCopiedByARunKilledBeforeTheCutIsCopiedOnce) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
  const RecordedOnce r;
  const std::string torn = r.record.substr(0, 300), damaged = r.program.folder / "WeatherData/杭州-WeatherData.damaged";
  writeWholeFile(r.data, r.once + torn);
  writeWholeFile(damaged, torn.substr(0, 3));
  const auto killed = r.program.run("--record", "ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" strace -f -qq -o /dev/null "
                                                "-e trace=truncate,ftruncate -e inject=truncate,ftruncate:signal=KILL");
  EXPECT_NE(killed.exitCode, 0) << "the run was not killed at the cut";
  EXPECT_EQ(test::readBytes(r.data), r.once + torn);
  EXPECT_EQ(test::readBytes(damaged), torn.substr(0, 3) + torn);
  EXPECT_EQ(r.program.record().exitCode, 0);
  EXPECT_EQ(test::readBytes(r.data), r.once + r.record);
  EXPECT_EQ(test::readBytes(damaged), torn.substr(0, 3) + torn);
}

// A file size limit the record would pass (as a full disk would stop it):
// the write fails instead of killing the program half-way, the data file
// is cut back and the record waits in the pending file.
TEST(HeadlessRecord, AFileSizeLimitNeverLeavesHalfARecord) {
  const RecordedOnce r;
  const ProgramFolder& program = r.program;
  const std::string &data = r.data, &once = r.once, &record = r.record;
  const auto limited = program.run("--record", "prlimit --fsize=" + std::to_string(once.size() + record.size() / 2));
  EXPECT_EQ(limited.exitCode, 0) << limited.err;
  EXPECT_EQ(test::readBytes(data), once);
  EXPECT_EQ(test::readBytes(program.folder / "WeatherData/杭州-WeatherData.pending"), record);
  ASSERT_EQ(program.record().exitCode, 0);
  EXPECT_EQ(test::readBytes(data), once + record + record);
}

// Where records move between files, each copy is on disk before the step
// that makes the other unnecessary: a torn end in the damaged file before
// it leaves the data file; the landing note before the landing, the landing
// before the pending file goes, that before the note goes. Seen from
// outside, the program's calls as strace shows them.
TEST(HeadlessRecord, RecordsThatMoveBetweenFilesReachTheDiskInOrder) {
  if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
  const RecordedOnce r;
  const ProgramFolder& program = r.program;
  const std::string torn = r.record.substr(0, 3), base = program.folder / "WeatherData/杭州-WeatherData";
  writeWholeFile(r.data, r.once + torn);
  writeWholeFile(base + ".pending", r.record);
  const std::string trace = program.folder / "strace.txt";
  // LeakSanitizer cannot work under ptrace: in the sanitizer build the
  // traced program looks for no leaks (every other test does).
  const auto result = program.run("--record", "ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" strace -f -qq -y -o '" +
                                                  trace +
                                                  "' -e trace=write,fdatasync,fsync,rename,renameat,renameat2,unlink,unlinkat,truncate,ftruncate");
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(test::contains(result.err, "杭州: 数据文件末尾有 3 字节不完整的内容，已移到 " + base + ".damaged")) << result.err;
  EXPECT_EQ(test::readBytes(r.data), r.once + r.record + r.record);
  EXPECT_EQ(test::readBytes(base + ".damaged"), torn);
  // The note says where the pending records start: the data file's size once its torn end is cut.
  EXPECT_TRUE(test::contains(test::readBytes(trace), ".landing.tmp>, \"" + std::to_string(r.once.size()) + "\\r\\n"))
      << test::readBytes(trace);
  EXPECT_FALSE(std::filesystem::exists(base + ".pending"));
  EXPECT_FALSE(std::filesystem::exists(base + ".landing"));

  const struct {
    const char *call, *file, *step;
  } steps[] = {
      {"write(", ".damaged>", "write damaged"},   {"fdatasync(", ".damaged>", "sync damaged"},
      {"fsync(", "/WeatherData>", "sync folder"}, {"ftruncate(", ".xls>", "cut data"},
      {"write(", ".landing.tmp>", "write note"},  {"fdatasync(", ".landing.tmp>", "sync note"},
      {"rename", ".landing.tmp\"", "rename note"}, {"write(", ".xls>", "write data"},
      {"fdatasync(", ".xls>", "sync data"},       {"unlink", ".pending\"", "remove pending"},
      {"unlink", ".landing\"", "remove note"},
  };
  std::vector<std::string> seen;
  for (const std::string& line : linesOf(test::readBytes(trace))) {
    // The record's steps end with the note's removal (the overview page follows).
    if (!seen.empty() && seen.back() == "remove note") break;
    // "<pid> <call>", the pid padded with blanks to five places.
    const std::size_t at = line.find_first_not_of(' ', line.find(' '));
    if (at == std::string::npos) continue;
    const std::string call = line.substr(at);
    for (const auto& step : steps)
      if (call.starts_with(step.call) && test::contains(call, step.file)) {
        seen.push_back(step.step);
        break;
      }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"write damaged", "sync damaged", "sync folder", "cut data", "write note",
                                            "sync note", "rename note", "sync folder", "write data", "sync data",
                                            "remove pending", "sync folder", "remove note"}))
      << test::readBytes(trace);
}

// ----------------------------------------------------------------- Rename

// The files of a folder, by name.
// The files of a folder, less the overview page every run writes.
std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(test::fsPath(folder)))
    names.insert(test::utf8Path(e.path().filename()));
  names.erase("一览.html");
  return names;
}

// The files a place has in the data folder.
std::set<std::string> dataFilesOf(const std::string& place, bool withPending = true) {
  std::set<std::string> names{place + "-WeatherData.xls", place + "-WeatherData.damaged", place + "-WeatherData.html"};
  if (withPending) names.insert(place + "-WeatherData.pending");
  return names;
}

// Killed after each step, the rename is undone by the next start of the
// window or the next run (killed before the catalogue file has its new
// name), or finished (after): every file of the place shares one name,
// and the run records under it.
TEST(RenamePlace, KilledAfterAnyStepItIsUndoneOrFinishedByTheNextStartOrRun) {
  const std::string page = "file://" + std::string(VANTORIL_TEST_DATA) + "/hangzhou-2014.html";
  bool finished = false;
  for (int step = 1; !finished; ++step) {
    for (const bool byRun : {false, true}) {
      SCOPED_TRACE("killed after step " + std::to_string(step) + (byRun ? ", then --record" : ", then the window"));
      ProgramFolder program;
      program.place("北京", page);
      const std::string data = program.folder / "WeatherData/北京-WeatherData";
      for (const auto& [ending, text] : {std::pair{".xls", u"天气数据文件\r\n"}, {".pending", u""},
                                         {".damaged", u"torn"}, {".html", u"<html/>"}})
        test::writeGbk(data + ending, text);
      const pid_t child = ::fork();
      if (child == 0) {
        int steps = 0;
        try {
          datafile::renamePlace(program.folder.path(), u"北京", u"首都", program.folder / "WebSite/北京.txt",
                                program.folder / "WebSite/首都.txt", [&] {
                                  if (++steps == step) ::_exit(0);
                                });
        } catch (...) {
          ::_exit(2);
        }
        ::_exit(1);
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2);
      finished = WEXITSTATUS(status) == 1;
      const std::string name = step >= 6 ? "首都" : "北京";
      if (byRun) {
        const auto result = program.record();
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, std::vector<std::string>{name + "\t2014061914"}) << result.err;
        EXPECT_EQ(namesIn(program.folder / "WeatherData"), dataFilesOf(name, false));
        EXPECT_EQ(test::crlfCount(test::readBytes(program.dataFile(name))), 29u);
      } else {
        test::FakeDownloader downloader;
        test::RecordingStarter starter;
        test::ScriptedInput input;
        test::CollectingReport report;
        Form1 form(program.folder.path(), {downloader, starter, input, report});
        ASSERT_TRUE(form.load());
        EXPECT_EQ(form.List1.entries(), std::vector<std::u16string>{fromUtf8(name)});
        EXPECT_EQ(namesIn(program.folder / "WeatherData"), dataFilesOf(name));
        EXPECT_EQ(test::readBytes(program.folder / ("WeatherData/" + name + "-WeatherData.damaged")), "torn");
        EXPECT_TRUE(report.messages.empty()) << report.messages.front();
      }
    }
  }
}

// A rename while a run of another process records waits for the run to
// end; the next run records under the new name. A run that holds the lock
// past the wait: the rename is refused, saying why, and nothing moves.
TEST(RenamePlace, WaitsForARunningRecordAndTheNextRunRecordsUnderTheNewName) {
  HttpServer server;
  server.route("/hz", htmlOf("hangzhou-2014.html"));
  server.delayAnswers(std::chrono::milliseconds(1500));
  ProgramFolder program;
  program.place("杭州", server.url("/hz"));
  BackgroundRun run(program, "run");
  ASSERT_TRUE(BackgroundRun::waitFor([&] { return server.requestCount() > 0; }));
  test::FakeDownloader downloader;
  test::RecordingStarter starter;
  test::ScriptedInput input;
  test::CollectingReport report;
  const auto lock = makeRunLock(program.folder.path());
  Form1 form(program.folder.path(), {downloader, starter, input, report, nullptr, lock.get()});
  ASSERT_TRUE(form.load());
  form.List1.select(0);
  input.answers = {u"西湖"};
  EXPECT_TRUE(form.click(form.Command5)) << report.messages.front();
  EXPECT_EQ(run.finish(), 0);
  EXPECT_EQ(namesIn(program.folder / "WeatherData"), std::set<std::string>{"西湖-WeatherData.xls"});
  EXPECT_FALSE(lock->held());

  server.delayAnswers(std::chrono::milliseconds(0));
  const auto result = program.record();
  ASSERT_EQ(result.out.size(), 1u) << result.err;
  EXPECT_TRUE(result.out[0].starts_with("西湖\t")) << result.out[0];
  EXPECT_EQ(namesIn(program.folder / "WeatherData"), std::set<std::string>{"西湖-WeatherData.xls"});

  const auto holder = makeRunLock(program.folder.path());
  ASSERT_TRUE(holder->tryAcquire());
  form.List1.select(0);
  input.answers = {u"杭州"};
  EXPECT_FALSE(form.click(form.Command5));
  EXPECT_EQ(report.messages.back(), kRenameWaiting);
  EXPECT_EQ(namesIn(program.folder / "WebSite"), std::set<std::string>{"西湖.txt"});
  EXPECT_EQ(namesIn(program.folder / "WeatherData"), std::set<std::string>{"西湖-WeatherData.xls"});
}

// A file another user owns is not this user's to replace, though its
// folder lets any user make and rename files.
TEST(Export, AnotherUsersFileIsRefusedToThisUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to act as another user";
  TempFolder folder;
  const std::string shared = folder / "shared", theirs = shared + "/theirs.csv";
  std::filesystem::create_directory(shared);
  std::filesystem::permissions(shared, std::filesystem::perms::all);
  writeWholeFile(theirs, "theirs");
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0) ::_exit(3);
    try {
      exporting::exportTable(folder.path(), theirs, {});
    } catch (const Failure& e) {
      ::_exit(test::contains(e.what(), "无法导出到 " + theirs + "：这个文件是只读的") ? 0 : 1);
    }
    ::_exit(2);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readWholeFile(theirs), "theirs");
  EXPECT_EQ(namesIn(shared), std::set<std::string>{"theirs.csv"});
}

TEST(DownloadTimeOut, AServerThatNeverAnswersFails) {
  HttpServer server;
  server.neverAnswer("/slow");
  CurlDownloader::Options options;
  options.connectTimeoutMs = 300;
  options.totalTimeoutMs = 300;
  CurlDownloader downloader(options);
  EXPECT_THROW(downloader.download(fromUtf8(server.url("/slow"))), Failure);
}

}  // namespace
}  // namespace vantoril

namespace vantoril {
namespace {

// A notifier that keeps what it is given, or refuses it.
class KeptNotifications final : public notify::Notifier {
 public:
  std::vector<notify::Notification> shown;
  std::string refusal;  // thrown as the cause when not empty
  void show(const notify::Notification& notification) override {
    if (!refusal.empty()) throw Failure(refusal);
    shown.push_back(notification);
  }
};

TEST(HeadlessRecord, AScheduledRunNotifiesOnceWhenAPlaceFailsAndTheResultStaysWhateverTheNotification) {
  HttpServer server;
  server.route("/good", htmlOf("hangzhou-2014.html"));
  struct Case {
    const char* what;
    std::vector<std::string> failing;  // places whose page is missing, beside 杭州's good one
    bool scheduled;                    // started with a notifier, as by the schedule
    std::string refusal;               // of the notification service
    int exitCode;
    std::size_t notifications;
    std::string logged;  // the log's notification line, after its time; "" for none
  };
  const std::string title = "Vantoril：定时记录有 2 个地名没有记录";
  const Case cases[] = {
      {"all recorded, a stale page among them", {}, true, "", 0, 0, ""},
      {"two failing alike", {"甲", "乙"}, true, "", 1, 1, "\t通知\t已显示：" + title},
      {"no notification service", {"甲", "乙"}, true, "没有会话总线", 1, 0, "\t通知\t通知无法显示：没有会话总线"},
      {"a run at a terminal", {"甲", "乙"}, false, "", 1, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    test::writeGbk(folder / "WebSite/杭州.txt", fromUtf8(server.url("/good")) + u"\r\n");
    for (const std::string& place : c.failing)
      test::writeGbk(folder / ("WebSite/" + place + ".txt"), fromUtf8(server.url("/gone/" + place)) + u"\r\n");
    KeptNotifications notifier;
    notifier.refusal = c.refusal;
    EXPECT_EQ(recordHeadless(folder.path(), c.scheduled ? &notifier : nullptr), c.exitCode);
    ASSERT_EQ(notifier.shown.size(), c.notifications);
    if (c.notifications > 0) {
      EXPECT_EQ(notifier.shown[0].title, title);
      EXPECT_TRUE(test::contains(notifier.shown[0].body, "\n2 个地名都无法下载：HTTP 状态 404（")) << notifier.shown[0].body;
      EXPECT_TRUE(test::contains(notifier.shown[0].body, folder / "vantoril.log")) << notifier.shown[0].body;
    }
    const std::string log = test::readBytes(folder / "vantoril.log");
    const std::size_t notice = log.find("\t通知\t");
    if (c.logged.empty()) {
      EXPECT_EQ(notice, std::string::npos) << log;
    } else {
      // After the run's summary, the log's last line.
      ASSERT_NE(notice, std::string::npos) << log;
      EXPECT_EQ(log.substr(notice, log.size() - notice - 1), c.logged) << log;
      EXPECT_LT(log.find("\t运行结束\t"), notice) << log;
    }
  }
}

// A run whose notification never ends: the run lock is free while it
// waits, and the process is ended past its limit, the run log saying so.
TEST(HeadlessRecord, AProcessThatOutlivesItsRunIsEndedAndItsLockIsFreeMeanwhile) {
  struct Stuck final : notify::Notifier {
    int told = -1;
    void show(const notify::Notification&) override {
      while (::write(told, "n", 1) == 1) ::pause();
    }
  } stuck;
  TempFolder folder;
  test::writeGbk(folder / "WebSite/甲.txt", u"file:///nonexistent/page.html\r\n");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  stuck.told = ready[1];
  const auto ended = [&](int code) { endAfter(folder.path(), code, std::chrono::milliseconds(200)); };
  const pid_t child = ::fork();
  if (child == 0) ::_exit(10 + recordHeadless(folder.path(), &stuck, ended));
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_TRUE(makeRunLock(folder.path())->tryAcquire());
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 1 << 8);  // exited with the run's code
  EXPECT_TRUE(test::contains(test::readBytes(folder / "vantoril.log"), "\t强制结束\t运行结束 0 秒后程序还没有退出"));
}

}  // namespace
}  // namespace vantoril
