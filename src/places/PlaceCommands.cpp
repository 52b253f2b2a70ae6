// The window's commands of the site's place list: adding a place by its
// name, and checking a place's address.
#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>

#include "app/Form1.h"
#include "catalogue/Catalogue.h"
#include "places/AddressCheck.h"
#include "places/PlaceTable.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace vantoril {

std::optional<std::u16string> Form1::placeWithAddress(std::u16string_view address) const {
  const std::string key = catalogue::addressKey(address);
  if (key.empty()) return std::nullopt;
  for (int i = 0; i < List1.entryCount(); ++i) {
    try {
      const std::optional<std::u16string> held = catalogue::addressIfExists(placeFile(i));
      if (held && catalogue::addressKey(*held) == key) return List1.entries()[static_cast<std::size_t>(i)];
    } catch (const std::exception&) {
      // Unreadable: its place's turn says why.
    }
  }
  return std::nullopt;
}

std::u16string Form1::addPlace(std::string_view code) {
  const places::Place* place = places::byCode(places::table(), code);
  if (!place) throw Failure("地名表里没有代码 " + std::string(code));
  const std::u16string address = places::pageAddress(place->code);
  if (const auto holder = placeWithAddress(address))
    throw catalogue::AddressTaken(address, *holder, places::listText(*place));
  const auto& entries = List1.entries();
  const auto taken = [&](std::u16string_view name) {
    return std::find(entries.begin(), entries.end(), name) != entries.end() ||
           fileExists(catalogue::filePath(programFolder_, name));
  };
  const std::u16string name = places::placeName(places::table(), *place, taken);
  catalogue::checkNewPlaceName(name);
  if (taken(name)) throw Failure("地名 “" + toUtf8(name) + "” 已在列表中，没有添加 " + std::string(code));
  ensureFolder(catalogue::folder(programFolder_));
  cp936::createWithLine(catalogue::filePath(programFolder_, name), address);
  listRefresh();
  const auto at = std::find(List1.entries().begin(), List1.entries().end(), name);
  if (at != List1.entries().end()) List1.select(static_cast<int>(at - List1.entries().begin()));
  return name;
}

bool Form1::checkAndReport(const std::u16string& place, const std::string& file) {
  std::string message;
  bool fine = false;
  {
    // A check holds the window as a run of one place does (busy cursor,
    // repaints while the page is awaited, a close held until it ends).
    const WindowHold check(*this);
    places::checkPlaces(
        {{place, file}}, services_.downloader, std::chrono::system_clock::now(),
        [&](const places::PlaceToCheck& checked, const places::CheckResult& result) {
          message = toUtf8(checked.name) + "：" + places::resultText(result);
          fine = result.verdict == places::Verdict::Fine;
        },
        [&check] { check.waiting(); });
  }
  if (fine) services_.errorReport.inform(message);
  else services_.errorReport.report(message);
  return fine;
}

bool Form1::userCheckAddress(int index) {
  bool fine = false;
  const bool done = atEventBoundary([this, index, &fine] {
    if (index < 0 || index >= List1.entryCount()) return;
    fine = checkAndReport(List1.entries()[static_cast<std::size_t>(index)], placeFile(index));
  });
  return done && fine;
}

void Form1::watchAddress(const std::u16string& place, const std::string& file) {
  watched_.reset();
  try {
    if (auto address = catalogue::addressIfExists(file)) watched_ = WatchedAddress{place, file, std::move(*address)};
  } catch (const std::exception&) {
    // A file that cannot be read is not watched; the editor says why.
  }
}

bool Form1::userReturned() {
  // Not while a run holds the window: the first return after it looks.
  if (held_) return true;
  const bool followed = followFolderOnce();
  if (!watched_) return followed;
  return atEventBoundary([this] {
    WatchedAddress& watched = *watched_;
    // A place deleted or renamed meanwhile, or a file that cannot be read,
    // is no longer watched (a run says what is wrong with it).
    std::u16string address;
    try {
      address = catalogue::addressIfExists(watched.file).value_or(u"");
    } catch (const std::exception&) {
    }
    if (address.empty()) {
      watched_.reset();
      return;
    }
    if (address == watched.address) return;
    // Taken before the message box, whose closing makes the window active again.
    watched.address = address;
    checkAndReport(watched.place, watched.file);
  });
}

bool Form1::userAddPlace(std::string_view code) {
  int added = -1;
  if (!atEventBoundary([this, code, &added] {
        addPlace(code);
        added = List1.selectedIndex();
      }))
    return false;
  // The address is kept whatever the check finds.
  if (added >= 0) userCheckAddress(added);
  return true;
}

}  // namespace vantoril
