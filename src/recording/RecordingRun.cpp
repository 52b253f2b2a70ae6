// The recording run of the record button: every place of the list, in order,
// from its catalogue file to one record in its data file.
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/PageRequest.h"
#include "platform/Text.h"
#include "recording/DataFile.h"
#include "recording/Observation.h"
#include "recording/PagesAhead.h"

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
// nothing. Every run leaves its lines in the run log.
void Form1::Command1_Click() {
  const RunLockHold hold(services_.runLock);
  runlog::RunLog log(programFolder_);
  recordAll(log);
}

void Form1::recordAll(runlog::RunLog& log) {
  RunObserver* observer = services_.runObserver;
  lastRun_ = {};
  lastRunExitCode_ = 1;
  std::string notRecorded, kept;
  const int count = List1.entryCount();
  lastRun_.places = count;
  bool stopped = false;
  // The window is held while the places are recorded, not while the report is read.
  {
    const WindowHold hold(*this);
    SeriesLists lists;
    PagesAhead ahead(services_.downloader);
    for (int i = 0; i < count; ++i) {
      if (observer && observer->stopAsked()) {
        stopped = true;
        break;
      }
      ahead.fetchFollowing(i, count, [this](int place) { return placeFile(place); });
      const PlaceOutcome outcome = recordPlace(i, lists, ahead);
      log.place(outcome.place, outcome.logText);
      switch (outcome.kind) {
        case PlaceOutcome::Recorded:
          ++lastRun_.recorded;
          break;
        case PlaceOutcome::Kept:
          ++lastRun_.kept;
          kept += "\n" + outcome.reportLine;
          break;
        case PlaceOutcome::Skipped:
          ++lastRun_.skipped;
          notRecorded += "\n" + outcome.reportLine;
          break;
        case PlaceOutcome::Failed:
          ++lastRun_.failed;
          notRecorded += "\n" + outcome.reportLine;
          break;
      }
    }
    // A kept record is not lost: it lands with the place's next record.
    lastRunExitCode_ = !stopped && lastRun_.recorded + lastRun_.kept == count ? 0 : 1;
    log.summary(lastRun_, lastRunExitCode_, stopped ? "窗口关闭，记录中止" : "");
  }
  if (stopped) return;
  std::string message;
  if (const int n = lastRun_.skipped + lastRun_.failed; n > 0)
    message = "以下 " + std::to_string(n) + " 个地名没有记录：" + notRecorded;
  if (lastRun_.kept > 0)
    message += (message.empty() ? "" : "\n\n") + std::string("以下 ") + std::to_string(lastRun_.kept) +
               " 个地名的记录已暂存：" + kept;
  if (lastRun_.skipped + lastRun_.failed > 0) throw Failure(message);
  if (!message.empty()) services_.errorReport.report(message);
}

// The boxes a place's page fills: the page, its block, its time and series.
void Form1::emptyPageBoxes() {
  for (TextBox* box :
       {&Text1, &Text5, &Text2, &Text3, &Text4, &Text9, &Text6, &Text10, &Text7, &Text11, &Text8, &Text12})
    box->setText(u"");
}

Form1::PlaceOutcome Form1::recordPlace(int index, SeriesLists& lists, PagesAhead& ahead) {
  std::u16string place = List1.entries()[index];
  std::u16string address;
  RunObserver* observer = services_.runObserver;
  // A place is named in the report by its name, an empty name by its place in the list.
  const auto named = [&](const std::string& cause) {
    return (place.empty() ? "第 " + std::to_string(index + 1) + " 项（空地名）" : toUtf8(place)) + ": " + cause;
  };
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
      return {PlaceOutcome::Skipped, place, named("跳过：" + why), "跳过：" + why};
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

    const datafile::Appended appended =
        datafile::appendRecord(programFolder_, Text15.text(), datafile::recordText(time.time, lists));
    lists.empty();
    if (appended.kept) {
      if (observer) observer->placeKept(place, time.time, appended.cause);
      const std::string kept = keptText(appended.cause);
      return {PlaceOutcome::Kept, place, named(kept), toUtf8(time.time) + " 暂存：" + kept};
    }
    if (observer) observer->placeRecorded(place, time.time);
    return {PlaceOutcome::Recorded, place, {}, toUtf8(time.time)};
  } catch (const std::exception& e) {
    // The next place starts from empty lists, as after a record.
    lists.empty();
    const std::string cause = page::withAddress(e.what(), toUtf8(address));
    if (observer) observer->placeFailed(place, cause);
    return {PlaceOutcome::Failed, place, named(cause), "错误：" + cause};
  }
}

}  // namespace vantoril
