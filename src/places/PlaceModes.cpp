#include "places/PlaceModes.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <map>
#include <optional>

#include "app/ConsoleServices.h"
#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "places/AddressCheck.h"
#include "places/PlaceTable.h"
#include "platform/PlatformServices.h"
#include "platform/Text.h"

namespace vantoril::places {

namespace {

void printMatches(const std::vector<Match>& matches, std::ostream& out) {
  for (const Match& m : matches)
    out << m.place->code << '\t' << m.place->province << '\t' << m.place->city << '\t' << m.place->district << '\n';
  out.flush();
}

// The window's model over the program folder, with no one to ask.
struct ConsoleForm {
  explicit ConsoleForm(const std::string& programFolder, std::ostream& err)
      : downloader(makeDownloader()),
        starter(makeProcessStarter()),
        report(err),
        form(programFolder, {*downloader, *starter, input, report}) {}
  std::unique_ptr<Downloader> downloader;
  std::unique_ptr<ProcessStarter> starter;
  NoInput input;
  StreamReport report;
  Form1 form;
};

}  // namespace

int findMode(const std::string& text, std::ostream& out, std::ostream& err) {
  const std::vector<Match> matches = search(table(), text);
  if (matches.empty()) {
    err << "没有与 “" << text << "” 相符的地名" << std::endl;
    return 1;
  }
  printMatches(matches, out);
  return 0;
}

int addMode(const std::string& programFolder, const std::string& text, std::ostream& out, std::ostream& err) {
  const std::vector<Match> matches = search(table(), text);
  const bool one = matches.size() == 1 || (matches.size() > 1 && matches[0].rank < matches[1].rank);
  if (!one) {
    if (matches.empty()) err << "没有与 “" << text << "” 相符的地名" << std::endl;
    else err << "“" << text << "” 相符的地名不止一个，请用代码添加：" << std::endl;
    printMatches(matches, out);
    return 2;
  }
  ConsoleForm console(programFolder, err);
  if (!console.form.load()) return 1;
  try {
    out << toUtf8(console.form.addPlace(matches[0].place->code)) << std::endl;
  } catch (const catalogue::AddressTaken& e) {
    err << e.what() << std::endl;
    return 2;
  } catch (const std::exception& e) {
    err << e.what() << std::endl;
    return 1;
  }
  return 0;
}

int checkMode(const std::string& programFolder, const std::vector<std::string>& named, std::ostream& out,
              std::ostream& err) {
  ConsoleForm console(programFolder, err);
  Form1& form = console.form;
  if (!form.load()) return 1;
  std::vector<PlaceToCheck> places;
  const auto& entries = form.List1.entries();
  const auto add = [&](int i) { places.push_back({entries[static_cast<std::size_t>(i)], form.placeFile(i)}); };
  if (named.empty()) {
    for (int i = 0; i < form.List1.entryCount(); ++i) add(i);
  }
  // A name given twice is checked once: its first entry in the list.
  std::vector<std::u16string> done;
  for (const std::string& name : named) {
    const std::u16string place = fileNameText(name);
    if (std::find(done.begin(), done.end(), place) != done.end()) continue;
    done.push_back(place);
    for (int i = 0; i < form.List1.entryCount(); ++i)
      if (entries[static_cast<std::size_t>(i)] == place) {
        add(i);
        break;
      }
  }
  int failed = 0;
  checkPlaces(places, *console.downloader, std::chrono::system_clock::now(),
              [&](const PlaceToCheck& place, const CheckResult& result) {
                out << toUtf8(place.name) << '\t' << resultText(result) << std::endl;
                if (result.verdict == Verdict::Failed || result.verdict == Verdict::Stale) ++failed;
              });
  // One station recorded twice: each place after the first that has its address.
  std::map<std::string, std::u16string> firstWith;
  for (const PlaceToCheck& place : places) {
    std::optional<std::u16string> address;
    try {
      address = catalogue::addressIfExists(place.file);
    } catch (const std::exception&) {
    }
    const std::string key = address ? catalogue::addressKey(*address) : "";
    if (key.empty()) continue;
    const auto [first, isFirst] = firstWith.emplace(key, place.name);
    if (isFirst) continue;
    out << toUtf8(place.name) << "\t网址与 “" << toUtf8(first->second) << "” 相同，同一站点会记录两次：" << toUtf8(*address)
        << std::endl;
    ++failed;
  }
  if (failed > 0) err << failed << " 个地名的网址有问题" << std::endl;
  return failed == 0 ? 0 : 1;
}

}  // namespace vantoril::places
