// The recording run of the record button: every place of the list, in order,
// from its catalogue file to one record in its data file.
#include <exception>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "recording/DataFile.h"
#include "recording/Observation.h"

namespace vantoril {

namespace {

// Tells the observer that the run ended, however it ends.
class RunGuard {
 public:
  explicit RunGuard(RunObserver* observer) : observer_(observer) {
    if (observer_) observer_->runStarted();
  }
  ~RunGuard() {
    if (observer_) observer_->runEnded();
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

 private:
  RunObserver* observer_;
};

void fill(TextBox& box, std::u16string_view text) {
  box.setText(u"");
  box.setText(text);
}

}  // namespace

void Form1::Command1_Click() {
  RunGuard guard(services_.runObserver);
  SeriesLists lists;
  std::u16string skipped;
  const int count = List1.entryCount();
  for (int i = 0; i < count; ++i) {
    if (!recordPlace(i, lists)) skipped += (skipped.empty() ? u"" : u"、") + List1.entries()[i];
  }
  if (!skipped.empty()) throw Failure("以下地名没有目录文件，没有记录：" + toUtf8(skipped));
}

bool Form1::recordPlace(int index, SeriesLists& lists) {
  std::u16string place = List1.entries()[index];
  try {
    List1.select(index);
    fill(Text15, List1.selectedText());
    place = Text15.text();
    Text14.setText(u"");
    const std::string path = catalogue::filePath(programFolder_, place);
    if (!fileExists(path)) {
      // Never record a place from the page of the place before it.
      if (services_.runObserver) services_.runObserver->placeSkipped(place, "没有目录文件 " + path);
      return false;
    }
    std::u16string address;
    for (const auto& line : cp936::readLines(path)) address += line;
    fill(Text14, address);
    Text1.setText(u"");
    pageText_ = services_.downloader.download(address);
    Text1.setText(pageText_);

    // The block is searched for in the whole page, not only in what Text1 holds.
    fill(Text5, cutBlock(pageText_).block);
    const std::u16string block = Text5.text();
    const ObservationTime time = observationTime(block);
    fill(Text2, decimal(static_cast<long long>(time.keyPosition)));
    fill(Text3, time.time);

    struct Step {
      std::u16string_view key;
      std::string_view name;
      SeriesList& list;
      TextBox& positions;
      TextBox& values;
    };
    const Step steps[] = {{u"od21", "hourly", lists.hour, Text4, Text9},
                          {u"od22", "temperature", lists.temperature, Text6, Text10},
                          {u"od26", "precipitation", lists.precipitation, Text7, Text11},
                          {u"od27", "humidity", lists.humidity, Text8, Text12}};
    for (const Step& s : steps) {
      extractSeries(block, s.key, s.name, s.list);
      fill(s.positions, displayText(s.list.keyPositions));
      fill(s.values, displayText(s.list.values));
    }

    datafile::appendRecord(programFolder_, Text15.text(), datafile::recordText(time.time, lists));
    lists.empty();
    if (services_.runObserver) services_.runObserver->placeRecorded(place, time.time);
    return true;
  } catch (const std::exception& e) {
    const std::string message = toUtf8(place) + ": " + e.what();
    if (services_.runObserver) services_.runObserver->placeFailed(place, message);
    throw Failure(message);
  }
}

}  // namespace vantoril
