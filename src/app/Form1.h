#pragma once
// The one window, as a model: its controls and its event handlers. The
// controls are the program's working memory; handlers read and write them
// by name. Services that reach outside are handed in.
#include <array>
#include <chrono>
#include <functional>
#include <exception>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "notify/RunNews.h"
#include "platform/PageText.h"
#include "platform/Services.h"
#include "recording/Series.h"
#include "runlog/RunLog.h"

namespace vantoril {

struct Form1Services {
  Downloader& downloader;
  ProcessStarter& processStarter;
  InputBox& inputBox;
  ErrorReport& errorReport;
  RunObserver* runObserver = nullptr;
  // Taken for each recording run; none: runs are not kept apart.
  RunLock* runLock = nullptr;
  // The time now, for the age of pages and records; none: the system's clock.
  std::function<std::chrono::system_clock::time_point()> clock = {};
};

class PagesAhead;
namespace datafile {
class FolderNames;
}

// The one character that opens the debug panel.
inline constexpr std::u16string_view kDebugAccessCode = u"7";
// What the record button says when another run holds the run lock.
inline constexpr std::string_view kRunGoing = "另一次记录正在进行（可能是定时记录），请等它结束后再点击记录";
// How long Rename waits for a recording run to end, and what it says when
// the run goes on longer.
inline constexpr std::chrono::seconds kRenameWait{5};
inline constexpr std::string_view kRenameWaiting =
    "正在记录，改名要等记录结束：另一次记录（可能是定时记录）5 秒内没有结束，没有改名，请等它结束后再改名";
// What the report says of a place whose record went to its pending file.
inline constexpr std::string_view kKeptMessage = "数据文件被占用或不能写入，本次记录已暂存，下次记录时补写";
// The kept message with the cause the data file gave.
inline std::string keptText(std::string_view cause) {
  return std::string(kKeptMessage) + "（" + std::string(cause) + "）";
}
// What the record button says when the place folder `folder` holds no place.
inline std::string noPlacesText(const std::string& folder) {
  return "没有地名：文件夹 " + folder +
         " 里还没有地名，请用菜单 地名 → 按名称添加… 或 vantoril --add 添加";
}

class Form1 {
 public:
  Form1(std::string programFolder, Form1Services services);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  TextBox Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8, Text9, Text10, Text11, Text12, Text13, Text14,
      Text15;
  Label Label1, Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label10, Label11, Label12, Label13,
      Label14, Label15;
  CommandButton Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8;
  ListBox List1;

  // Every visible control by its design name; nullptr for Inet1 or an unknown name.
  Control* control(std::string_view name);
  const std::vector<Control*>& controls() const { return controls_; }
  void setListener(ControlListener* listener);

  const std::string& programFolder() const { return programFolder_; }

  // Events, as the window system delivers them. Each runs its operation to
  // the end; a failure stops the operation and is reported, and the window
  // goes on. They return false when the operation failed.
  bool load();
  bool click(const CommandButton& button);
  bool userSelect(int index);
  bool userEdit(TextBox& box, std::u16string_view text);
  // The list's menu entry "查看图表": writes the chart page of entry `index`
  // of List1 and opens it with proc1. Selects nothing.
  bool userShowChart(int index);
  // "查看一览": the overview page written (overview::writeOverview) and opened with proc1.
  bool userShowOverview();
  // "比较图表": the page comparing every place of List1 written and opened with proc1.
  bool userShowCompare();
  // "检查网址": the page of entry `index` downloaded and cut as a run does,
  // nothing written; the result reported in one message. True when fine.
  bool userCheckAddress(int index);
  // "按名称添加地名…" with the place of the site's list that has `code`:
  // addPlace, then the new address checked and the result reported.
  bool userAddPlace(std::string_view code);

  // "导出数据…" (`index` -1: every place of List1, in its order) and
  // "导出此地数据…" (entry `index`): the table written to `path`
  // (exporting::exportTable) and where it went and its rows told in one
  // message, with the places left out, if any (a warning only when nothing
  // was written). The folder is offered to the next export.
  bool userExport(int index, const std::string& path);
  // The folder the last export went to; empty before the first.
  const std::string& lastExportFolder() const { return lastExportFolder_; }

  // "修改网址" without an editor: the address of list entry `index` in an
  // input box, the answer written back as the catalogue file's one line
  // (GBK, CR LF) and shown in Text14. Cancel, or the same address, changes
  // nothing. Command4 falls back to it when no program opens the file.
  bool userEditAddress(int index);
  // An opener that failed after the click (its exit status): reported;
  // when it was to open the file "修改网址" handed over, the address is
  // asked for in the input box instead.
  bool userOpenFailed(const std::string& message);

  // The window is active again: the list follows the place folder
  // (followFolder). A catalogue file that "修改网址" opened and whose
  // address has changed since is checked as "检查网址" checks, and the
  // result reported; each change once.
  bool userReturned();
  // The place folder changed while the window is open: the list follows it.
  bool userFolderChanged();
  // The list read again from the place folder, when the folder holds other
  // places than the list shows, keeping the selected place (its click
  // handling runs again); else the address box shows what the selected
  // place's file holds now. Nothing while a run holds the window. The
  // designed commands keep their own list refresh.
  void followFolder();

  // The place of the site's list with `code` gets a catalogue file holding
  // its page address (as "修改网址" writes it), the list is refreshed and
  // the new place selected. Returns its name; throws Failure.
  std::u16string addPlace(std::string_view code);

  // A result the user asked for, told in an information box.
  void inform(const std::string& message) { services_.errorReport.inform(message); }

  // The window's own methods.
  void sosuofile1(const std::u16string& MyPath);
  void proc1(const std::u16string& path);
  void listRefresh();
  // The catalogue file the scan found for list entry `index`; for an entry
  // the scan did not add, the file of its name at the top of the catalogue.
  std::string placeFile(int index) const;
  // The listed place whose catalogue file holds `address` (addressKey()
  // alike), if any; a file that cannot be read holds none.
  std::optional<std::u16string> placeWithAddress(std::u16string_view address) const;

  // The last recording run: its counts and the exit code a run without a
  // window gives for it: 0 when every place was recorded (or kept in its
  // pending file), else 1.
  const runlog::Counts& lastRun() const { return lastRun_; }
  int lastRunExitCode() const { return lastRunExitCode_; }
  // What the last recording run has to tell (its report is made of these).
  const std::vector<notify::PlaceNote>& lastRunNotes() const { return lastRunNotes_; }

  // The page of the last download, whole; Text1 holds its first 30000 characters.
  std::u16string pageText() const { return page::wholeText(*page_); }

  // Every event's boundary: a failure stops the operation and is reported.
  // Also for what a view does on the window's behalf (its own dialogs).
  template <class F>
  bool atEventBoundary(F&& operation);

 private:
  // Debug panel.
  void startupDebugTest();
  void Text1_Change();
  void Text5_Change();
  void Text13_Change();
  // Catalogue.
  void List1_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Command7_Click();
  // Shell.
  void Command2_Click();
  void Command3_Click();
  void Command8_Click();
  // Recording.
  void Command1_Click();
  struct PlaceOutcome {
    // Unanswered: failed unfetched, as its site stopped answering (the
    // site is the report line; the run reports its places in one line).
    enum Kind { Recorded, Kept, Skipped, Failed, Unanswered } kind = Recorded;
    std::u16string place;
    std::string reportLine;  // the end-of-run report's line for the place; none when recorded
    std::string logText;     // the log's third field
    std::string name;        // the place as the report names it
    std::string group;       // what places failing alike share (notify::PlaceNote::group)
    std::optional<std::string> stale;  // why the page counts as stale
    std::optional<long long> before;   // the site hour of the place's record before this one
    std::u16string time;               // the observation time recorded
  };
  PlaceOutcome recordPlace(int index, SeriesLists& lists, PagesAhead& ahead, datafile::FolderNames& names);
  void emptyPageBoxes();
  void recordAll(runlog::RunLog& log);
  // The overview page after a run; a failure to write it is told on stderr
  // and fails nothing (the run's own report says what the run did).
  void writeRunOverview(runlog::RunLog& log);
  // The address check of one place and its one message; true when fine.
  bool checkAndReport(const std::u16string& place, const std::string& file);
  // The catalogue file "修改网址" opened last, and the address it held.
  void watchAddress(const std::u16string& place, const std::string& file);
  struct WatchedAddress {
    std::u16string place;
    std::string file;
    std::u16string address;
  };
  std::optional<WatchedAddress> watched_;
  // The input box of userEditAddress for `place` and its file, the prompt
  // after `why` (why no editor could be used), if any.
  void editAddress(const std::u16string& place, const std::string& file, const std::string& why = {});
  // followFolder on the window's behalf: a failure is reported once, not
  // at every return of the window (its message box makes it return).
  bool followFolderOnce();
  std::string folderTrouble_;

  // A run holding the window (a recording run, an address check): the
  // observer hears of its start and its end, and while it lasts the
  // window's return starts no address check.
  class WindowHold {
   public:
    explicit WindowHold(Form1& form);
    ~WindowHold();
    WindowHold(const WindowHold&) = delete;
    WindowHold& operator=(const WindowHold&) = delete;
    void waiting() const;

   private:
    Form1& form_;
    bool outer_;  // the window was held already, by a hold around this one
  };
  bool held_ = false;

  // The run lock taken for an operation that must not run beside a
  // recording run: a run going on is waited for (at most kRenameWait, the
  // window held meanwhile), then `refusal` is thrown. Nothing without a
  // run lock, or where it is held already.
  class RunLockTaken {
   public:
    RunLockTaken(Form1& form, std::string_view refusal);
    ~RunLockTaken();
    RunLockTaken(const RunLockTaken&) = delete;
    RunLockTaken& operator=(const RunLockTaken&) = delete;

   private:
    RunLock* lock_ = nullptr;
  };
  // What a rename a crash left half done is settled to, at start-up,
  // unless a run of another process holds the run lock (that run settles
  // it); a failure is reported and the start goes on.
  void settleRenameAtStart();

  std::string programFolder_;
  std::string lastExportFolder_;
  Form1Services services_;
  std::vector<Control*> controls_;
  // Shared with Text1, which decodes its part only when it is read.
  std::shared_ptr<const page::Fetched> page_ = std::make_shared<page::Fetched>();
  runlog::Counts lastRun_;
  int lastRunExitCode_ = 0;
  std::vector<notify::PlaceNote> lastRunNotes_;
  // Parallel to List1's entries: the file the scan found for each.
  std::vector<std::string> placeFiles_;
};

template <class F>
bool Form1::atEventBoundary(F&& operation) {
  try {
    operation();
    return true;
  } catch (const std::exception& e) {
    services_.errorReport.report(e.what());
  }
  return false;
}

}  // namespace vantoril
