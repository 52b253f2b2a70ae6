// The recording run of the record button: every place of the list, in order,
// from its catalogue file to one record in its data file.
#include <exception>
#include <optional>

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

// Places after the current one whose pages are fetched while it is
// processed; with the current place's page, at most 7 pages are held.
constexpr int kPlacesAhead = 6;

// The address a catalogue file holds now, or none when it cannot be read
// (the place's own turn then says why).
std::optional<std::u16string> peekAddress(const std::string& path) {
  try {
    if (!fileExists(path)) return std::nullopt;
    std::u16string address;
    for (const auto& line : cp936::readLines(path)) address += line;
    return address;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

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
  int peeked = 0;
  for (int i = 0; i < count; ++i) {
    if (observer && observer->stopAsked()) return;
    for (; peeked < count && peeked <= i + kPlacesAhead; ++peeked) {
      if (const auto address = peekAddress(placeFile(peeked))) {
        try {
          ahead.fetch(peeked, *address);
        } catch (const std::exception&) {
          // Fetched again at the place's turn, which reports the cause.
        }
      }
    }
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
    for (const auto& line : cp936::readLines(path)) address += line;
    fill(Text14, address);
    Text1.setText(u"");
    page_ = ahead.take(index, address, [observer] {
      if (observer) observer->waiting();
    });
    Utf8Read shown;
    Text1.setText(page::leadingText(page_, Text1.maxLength(), &shown));

    // The block is searched for in the whole page, not only in what Text1 holds.
    fill(Text5, cutBlock(page_, shown).block);
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
