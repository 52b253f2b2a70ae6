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

std::string skippedNote(std::u16string_view places) {
  return "以下地名没有目录文件，没有记录：" + toUtf8(places);
}

}  // namespace

void Form1::Command1_Click() {
  RunObserver* observer = services_.runObserver;
  if (observer) observer->runStarted();
  SeriesLists lists;
  std::u16string skipped;
  try {
    const int count = List1.entryCount();
    for (int i = 0; i < count; ++i) {
      if (!recordPlace(i, lists)) skipped += (skipped.empty() ? u"" : u"、") + List1.entries()[i];
    }
  } catch (const std::exception& e) {
    if (observer) observer->runEnded();
    if (skipped.empty()) throw;
    throw Failure(std::string(e.what()) + "\n" + skippedNote(skipped));
  }
  if (observer) observer->runEnded();
  if (!skipped.empty()) throw Failure(skippedNote(skipped));
}

bool Form1::recordPlace(int index, SeriesLists& lists) {
  std::u16string place = List1.entries()[index];
  std::u16string address;
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
    // The message names the place (an empty name by its place in the list)
    // and, once it is known, the address.
    std::string cause = e.what();
    if (!address.empty() && cause.find(toUtf8(address)) == std::string::npos)
      cause += "（网址 " + toUtf8(address) + "）";
    if (services_.runObserver) services_.runObserver->placeFailed(place, cause);
    const std::string name = place.empty() ? "第 " + std::to_string(index + 1) + " 项（空地名）" : toUtf8(place);
    throw Failure(name + ": " + cause);
  }
}

}  // namespace vantoril
