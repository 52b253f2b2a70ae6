// The recording run of the record button: every place of the list, in order,
// from its catalogue file to one record in its data file.
#include <exception>
#include <iterator>
#include <utility>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "recording/DataFile.h"
#include "recording/Observation.h"
#include "recording/PagesAhead.h"

namespace vantoril {

namespace {

// Tells the observer that the run has ended, however it ends.
struct RunEnd {
  RunObserver* observer;
  ~RunEnd() {
    if (observer) observer->runEnded();
  }
};

}  // namespace

// A place that fails is reported and the run goes on with the next one; one
// report at the end names every place not recorded. A run stopped by the
// window closing reports nothing.
void Form1::Command1_Click() {
  RunObserver* observer = services_.runObserver;
  if (observer) observer->runStarted();
  const RunEnd end{observer};
  SeriesLists lists;
  PagesAhead ahead(services_.downloader);
  std::string notRecorded;
  int notRecordedCount = 0;
  const int count = List1.entryCount();
  for (int i = 0; i < count; ++i) {
    if (observer && observer->stopAsked()) return;
    ahead.fetchFollowing(i, count, [this](int place) { return placeFile(place); });
    const std::string line = recordPlace(i, lists, ahead);
    if (!line.empty()) {
      notRecorded += "\n" + line;
      ++notRecordedCount;
    }
  }
  if (notRecordedCount > 0)
    throw Failure("以下 " + std::to_string(notRecordedCount) + " 个地名没有记录：" + notRecorded);
}

std::string Form1::recordPlace(int index, SeriesLists& lists, PagesAhead& ahead) {
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
    const std::string path = placeFile(index);
    if (!fileExists(path)) {
      // Never record a place from the page of the place before it.
      const std::string why = "没有目录文件 " + path;
      if (observer) observer->placeSkipped(place, why);
      return named("跳过：" + why);
    }
    address = catalogue::address(path);
    fill(Text14, address);
    Text1.setText(u"");
    pageText_ = ahead.take(index, address, [observer] {
      if (observer) observer->waiting();
    });
    Text1.setText(pageText_);

    // The block is searched for in the whole page, not only in what Text1 holds.
    fill(Text5, cutBlock(pageText_).block);
    const std::u16string block = Text5.text();
    const ObservationTime time = observationTime(block);
    fill(Text2, decimal(static_cast<long long>(time.keyPosition)));
    fill(Text3, time.time);

    // The boxes of each series of kSeriesKeys: key positions, values.
    const std::pair<TextBox*, TextBox*> boxes[] = {{&Text4, &Text9}, {&Text6, &Text10}, {&Text7, &Text11}, {&Text8, &Text12}};
    static_assert(std::size(boxes) == std::size(kSeriesKeys));
    for (std::size_t s = 0; s < std::size(kSeriesKeys); ++s) {
      SeriesList& list = lists.*kSeriesKeys[s].list;
      extractSeries(block, kSeriesKeys[s].key, kSeriesKeys[s].name, list);
      fill(*boxes[s].first, displayText(list.keyPositions));
      fill(*boxes[s].second, displayText(list.values));
    }

    datafile::appendRecord(programFolder_, Text15.text(), datafile::recordText(time.time, lists));
    lists.empty();
    if (observer) observer->placeRecorded(place, time.time);
    return {};
  } catch (const std::exception& e) {
    // The next place starts from empty lists, as after a record.
    lists.empty();
    std::string cause = e.what();
    if (!address.empty() && cause.find(toUtf8(address)) == std::string::npos)
      cause += "（网址 " + toUtf8(address) + "）";
    if (observer) observer->placeFailed(place, cause);
    return named(cause);
  }
}

}  // namespace vantoril
