// The recording run of the record button: every place of the list, in order,
// from its catalogue file to one record in its data file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "chart/History.h"
#include "overview/Overview.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/PageRequest.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"
#include "datafile/FolderNames.h"
#include "datafile/LastRecord.h"
#include "recording/Observation.h"
#include "recording/PagesAhead.h"
#include "datafile/PlaceData.h"

namespace vantoril {

namespace {

// Holds the run lock for one run, unless the caller holds it already (a
// run without a window takes it before the window's start-up).
class RunLockHold {
 public:
  explicit RunLockHold(RunLock* lock) : lock_(lock && !lock->held() ? lock : nullptr) {
    if (lock_ && !lock_->tryAcquire()) throw Failure(std::string(kRunGoing));
  }
  ~RunLockHold() {
    if (lock_) lock_->release();
  }
  RunLockHold(const RunLockHold&) = delete;
  RunLockHold& operator=(const RunLockHold&) = delete;

 private:
  RunLock* lock_;
};

}  // namespace

// Refused, doing nothing, while another run holds the run lock. A place
// that fails is reported and the run goes on with the next one; one report
// at the end names every place not recorded, and every place whose record
// was kept in its pending file. A run stopped by the window closing reports
// nothing. Every run leaves its lines in the run log. The run records the
// places the folder holds at the click; with none, it says so (no failure)
// and makes the folder.
void Form1::Command1_Click() {
  const RunLockHold hold(services_.runLock);
  // A rename a crash left half done: every file of the place under one name first.
  datafile::settleRename(programFolder_);
  // The places the folder holds now, whatever the list showed.
  followFolder();
  runlog::RunLog log(programFolder_);
  if (List1.entryCount() == 0) {
    // Made for the user to find (an empty folder lists no place either).
    const std::string folder = catalogue::folder(programFolder_);
    ensureFolder(folder);
    lastRun_ = {};
    lastRunExitCode_ = 0;
    log.summary(lastRun_, lastRunExitCode_, "没有地名");
    services_.errorReport.inform(noPlacesText(folder));
    return;
  }
  recordAll(log);
}

void Form1::recordAll(runlog::RunLog& log) {
  RunObserver* observer = services_.runObserver;
  lastRun_ = {};
  lastRunExitCode_ = 1;
  lastRunNotes_.clear();
  using notify::PlaceNote;
  const auto now = services_.clock ? services_.clock() : std::chrono::system_clock::now();
  const long long hourNow = notify::siteHourAt(now);
  const auto note = [this](PlaceNote::Kind kind, const PlaceOutcome& outcome, std::string line, std::string group) {
    lastRunNotes_.push_back({kind, outcome.name, outcome.name + ": " + line, std::move(group)});
  };
  const int count = List1.entryCount();
  lastRun_.places = count;
  bool stopped = false;
  // The window is held while the places are recorded, not while the report is read.
  {
    const WindowHold hold(*this);
    SeriesLists lists;
    PagesAhead ahead(services_.downloader);
    // The data folder's names, learnt once rather than looked for at every place.
    datafile::FolderNames names(datafile::folder(programFolder_));
    // Sites that stopped answering, each with the places it left unfetched.
    std::vector<std::pair<std::string, std::vector<std::string>>> silent;
    for (int i = 0; i < count; ++i) {
      if (observer && observer->stopAsked()) {
        stopped = true;
        break;
      }
      ahead.fetchFollowing(i, count, [this](int place) { return placeFile(place); });
      PlaceOutcome outcome = recordPlace(i, lists, ahead, names);
      if (outcome.stale) outcome.logText += "（过时：" + *outcome.stale + "）";
      log.place(outcome.place, outcome.logText);
      switch (outcome.kind) {
        case PlaceOutcome::Recorded:
          ++lastRun_.recorded;
          // A data file whose torn end was moved aside first.
          if (!outcome.reportLine.empty())
            lastRunNotes_.push_back({PlaceNote::Repaired, outcome.name, outcome.reportLine, outcome.group});
          break;
        case PlaceOutcome::Kept:
          ++lastRun_.kept;
          lastRunNotes_.push_back({PlaceNote::Kept, outcome.name, outcome.reportLine, outcome.group});
          break;
        case PlaceOutcome::Skipped:
          ++lastRun_.skipped;
          lastRunNotes_.push_back({PlaceNote::NotRecorded, outcome.name, outcome.reportLine, outcome.group});
          break;
        case PlaceOutcome::Failed:
          ++lastRun_.failed;
          lastRunNotes_.push_back({PlaceNote::NotRecorded, outcome.name, outcome.reportLine, outcome.group});
          break;
        case PlaceOutcome::Unanswered: {
          ++lastRun_.failed;
          const auto site = std::find_if(silent.begin(), silent.end(),
                                         [&](const auto& s) { return s.first == outcome.reportLine; });
          if (site == silent.end()) silent.push_back({outcome.reportLine, {outcome.name}});
          else site->second.push_back(outcome.name);
          break;
        }
      }
      if (outcome.kind == PlaceOutcome::Recorded || outcome.kind == PlaceOutcome::Kept) {
        if (outcome.stale) note(PlaceNote::Stale, outcome, *outcome.stale, "页面不再更新");
        const auto hour = notify::siteHour(outcome.time);
        if (hour && outcome.before && *hour - *outcome.before > notify::kHoursKept + 1) {
          const long long lost = *hour - *outcome.before - notify::kHoursKept - 1;
          note(PlaceNote::HoursLost, outcome,
               "上次记录 " + notify::personHour(*outcome.before, hourNow) + " 之后缺了 " + std::to_string(lost) + " 小时", "缺了记录");
        }
      } else if (!outcome.place.empty()) {
        // Read again: the run may not have got as far as the data file.
        std::optional<long long> newest;
        try {
          newest = datafile::lastRecordHour(programFolder_, outcome.place, &names);
        } catch (const std::exception&) {
          // The report names the place already.
        }
        if (newest && hourNow - *newest > notify::kWarnAfterHours)
          note(PlaceNote::LastRecordOld, outcome,
               "最新记录 " + notify::personHour(*newest, hourNow) + "，已是 " + std::to_string(hourNow - *newest) + " 小时前",
               "最新记录超过 " + std::to_string(notify::kWarnAfterHours) + " 小时");
      }
    }
    // One line for each site that stopped answering, whatever its places.
    for (const auto& [site, places] : silent) {
      const std::string line = "网站无响应：" + site + "，其余 " + std::to_string(places.size()) + " 个地名本次不记录";
      for (const std::string& place : places) lastRunNotes_.push_back({PlaceNote::NotRecorded, place, line, line});
    }
    // A kept record is not lost: it lands with the place's next record.
    lastRunExitCode_ = !stopped && lastRun_.recorded + lastRun_.kept == count ? 0 : 1;
    log.summary(lastRun_, lastRunExitCode_, stopped ? "窗口关闭，记录中止" : "");
  }
  if (stopped) return;
  writeRunOverview(log);
  // The report is shown when a place was not recorded or was kept, or a
  // data file's torn end was moved aside; what else there is to say (stale
  // pages, lost hours) is said with it.
  const bool repaired = std::any_of(lastRunNotes_.begin(), lastRunNotes_.end(),
                                    [](const PlaceNote& n) { return n.kind == PlaceNote::Repaired; });
  if (lastRun_.skipped + lastRun_.failed + lastRun_.kept == 0 && !repaired) return;
  const std::string message = notify::reportText(lastRunNotes_, runlog::logPath(programFolder_));
  if (lastRun_.skipped + lastRun_.failed > 0) throw Failure(message);
  services_.errorReport.report(message);
}

void Form1::writeRunOverview(runlog::RunLog& log) {
  try {
    overview::writeOverview(programFolder_, services_.clock ? services_.clock() : std::chrono::system_clock::now());
  } catch (const std::exception& e) {
    // The records are in; the log says why the page is old, and so does a terminal.
    const std::string why = "无法写出一览页 " + overview::overviewPath(programFolder_) + "：" + e.what();
    log.notice(why, runlog::kOverviewMark);
    std::cerr << why << std::endl;
  }
}

// The boxes a place's page fills: the page, its block, its time and series.
void Form1::emptyPageBoxes() {
  for (TextBox* box :
       {&Text1, &Text5, &Text2, &Text3, &Text4, &Text9, &Text6, &Text10, &Text7, &Text11, &Text8, &Text12})
    box->setText(u"");
}

Form1::PlaceOutcome Form1::recordPlace(int index, SeriesLists& lists, PagesAhead& ahead,
                                       datafile::FolderNames& names) {
  std::u16string place = List1.entries()[index];
  std::u16string address;
  RunObserver* observer = services_.runObserver;
  // A place is named in the report by its name, an empty name by its place in the list.
  const auto label = [&] { return place.empty() ? "第 " + std::to_string(index + 1) + " 项（空地名）" : toUtf8(place); };
  const auto named = [&](const std::string& cause) { return label() + ": " + cause; };
  try {
    List1.select(index);
    fill(Text15, List1.selectedText());
    place = Text15.text();
    Text14.setText(u"");
    // Under this name the boxes show this place's page and values or
    // nothing, never those of the place before, whatever step fails.
    emptyPageBoxes();
    const std::string path = placeFile(index);
    std::optional<std::u16string> read = catalogue::addressIfExists(path);
    if (!read) {
      // Never record a place from the page of the place before it.
      const std::string why = "没有目录文件 " + path;
      if (observer) observer->placeSkipped(place, why);
      return {PlaceOutcome::Skipped, place, named("跳过：" + why), "跳过：" + why, label(), "跳过：没有目录文件", {}, {}, {}};
    }
    address = std::move(*read);
    fill(Text14, address);
    Text1.setText(u"");
    page_ = std::make_shared<const page::Fetched>(ahead.take(index, address, [observer] {
      if (observer) observer->waiting();
    }));
    // Text1's 30000 characters are decoded only when somebody reads them.
    Text1.setTextLater(page::isEmpty(*page_),
                       [page = page_, max = Text1.maxLength()] { return page::leadingText(*page, max); });

    // The block is searched for in the whole page, not only in what Text1 holds.
    fill(Text5, cutBlock(*page_).block);
    const std::u16string block = Text5.text();
    const ObservationTime time = observationTime(block);
    fill(Text2, decimal(static_cast<long long>(time.keyPosition)));
    fill(Text3, time.time);

    // The boxes of each series of kSeriesKeys: key positions, values.
    const std::pair<TextBox*, TextBox*> boxes[] = {{&Text4, &Text9}, {&Text6, &Text10}, {&Text7, &Text11}, {&Text8, &Text12}};
    static_assert(std::size(boxes) == std::size(kSeriesKeys));
    const auto keys = findSeriesKeys(block);
    for (std::size_t s = 0; s < std::size(kSeriesKeys); ++s) {
      SeriesList& list = lists.*kSeriesKeys[s].list;
      extractSeries(block, kSeriesKeys[s], keys[s], list);
      fill(*boxes[s].first, displayText(list.keyPositions));
      fill(*boxes[s].second, displayText(list.values));
    }

    // What the data folder holds now, however long the page took.
    names.look();
    const auto stale = notify::staleCause(time.time, services_.clock ? services_.clock() : std::chrono::system_clock::now());
    const datafile::Appended appended =
        datafile::appendRecord(programFolder_, Text15.text(), datafile::recordText(time.time, lists), &names);
    lists.empty();
    if (appended.kept) {
      if (observer) observer->placeKept(place, time.time, appended.cause);
      const std::string kept = keptText(appended.cause);
      return {PlaceOutcome::Kept, place, named(kept), toUtf8(time.time) + " 暂存：" + kept, label(),
              std::string(kKeptMessage), stale, appended.before, time.time};
    }
    if (observer) observer->placeRecorded(place, time.time);
    // A place recorded after its data file's torn end was moved aside has a
    // line in the report all the same.
    if (!appended.repaired.empty())
      return {PlaceOutcome::Recorded, place, named(appended.repaired), toUtf8(time.time) + " " + appended.repaired,
              label(), appended.repaired, stale, appended.before, time.time};
    return {PlaceOutcome::Recorded, place, {}, toUtf8(time.time), label(), {}, stale, appended.before, time.time};
  } catch (const SiteSilent& e) {
    // Reported once for the site, with the count of its places, at the end.
    lists.empty();
    return {PlaceOutcome::Unanswered, place, e.site(), "错误：" + std::string(e.what()), label(), {}, {}, {}, {}};
  } catch (const std::exception& e) {
    // The next place starts from empty lists, as after a record.
    lists.empty();
    const std::string cause = page::withAddress(e.what(), toUtf8(address));
    if (observer) observer->placeFailed(place, cause);
    const auto* download = dynamic_cast<const page::DownloadFailure*>(&e);
    return {PlaceOutcome::Failed, place, named(cause), "错误：" + cause, label(),
            download ? "无法下载：" + download->reason() : "出错：" + std::string(e.what()), {}, {}, {}};
  }
}

}  // namespace vantoril
