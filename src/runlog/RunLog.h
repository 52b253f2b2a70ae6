#pragma once
// The run log "vantoril.log" in the folder that holds WebSite and
// WeatherData: UTF-8, one line per place of every recording run and one
// summary line at its end, fields separated by tabs:
//
//   2026-12-07 14:50:01<TAB>杭州<TAB>2014061914
//   2026-12-07 14:50:01<TAB>广州<TAB>错误：下载 ... 失败：HTTP 状态 404
//   2026-12-07 14:50:02<TAB>运行结束<TAB>地名 2<TAB>记录 1<TAB>暂存 0<TAB>跳过 0<TAB>错误 1<TAB>退出码 1
//
// A place line has three fields (time, place, observation time or what
// happened); a summary line has eight, and a ninth where something is said
// about the run as a whole. A run the schedule started may add a line
// about its notification (kNoticeMark in the place's field), and one that
// outlived its run, that it was ended (kEndedMark); a run whose overview
// page could not be written says so after its summary (kOverviewMark). Tabs and line breaks inside a field become
// spaces. Past 1 MB, the older half is dropped at a line boundary.
#include <optional>
#include <string>
#include <string_view>

namespace vantoril::runlog {

inline constexpr const char* kLogFileName = "vantoril.log";
inline constexpr std::size_t kMostBytes = 1 << 20;
inline constexpr std::string_view kSummaryMark = "运行结束";
inline constexpr std::string_view kNoticeMark = "通知";
inline constexpr std::string_view kEndedMark = "强制结束";
inline constexpr std::string_view kOverviewMark = "一览";

std::string logPath(const std::string& folder);

// The counts of one run.
struct Counts {
  int places = 0;
  int recorded = 0;  // in the data file
  int kept = 0;      // recorded, but waiting in the pending file
  int skipped = 0;
  int failed = 0;
};

struct Summary {
  std::string time;  // "YYYY-MM-DD HH:MM:SS", local time
  Counts counts;
  int exitCode = 0;
  std::string note;  // empty, or what was said about the run as a whole
  std::string line;  // the line as written, without its line end
};

// The last summary line of the log; none when there is no log or no summary in it.
std::optional<Summary> lastSummary(const std::string& folder);
// The same, of the log's text.
std::optional<Summary> lastSummaryIn(std::string_view log);

// A summary line as the log holds it, without its line end.
std::string summaryLine(std::string_view time, const Counts& counts, int exitCode, std::string_view note = {});

// The lines of one run. A line that cannot be written never fails the run:
// the first failure of a run is told on stderr (a window has no one to
// tell it to but the person who started it from a terminal), the others are
// dropped silently, and the run goes on.
class RunLog {
 public:
  // `mayTrim`: whether this run may cut the log down to its bound, which
  // only a run that holds the run lock may do (another writer's line could
  // be lost in between otherwise).
  explicit RunLog(std::string folder, bool mayTrim = true);
  void place(std::u16string_view place, std::string_view what);
  void summary(const Counts& counts, int exitCode, std::string_view note = {});
  // A line about the run's notification, after its summary:
  // "<time><TAB>通知<TAB><what>"; or, with kEndedMark, about its end.
  void notice(std::string_view what, std::string_view mark = kNoticeMark);

 private:
  void write(std::string line);

  std::string path_;
  bool mayTrim_;
  bool complained_ = false;
  std::optional<std::size_t> size_;  // of the log after the last line written
};

}  // namespace vantoril::runlog
