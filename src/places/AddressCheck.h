#pragma once
// Checking places' addresses: each page downloaded now and cut as a
// recording run cuts it, nothing written, and a verdict per place.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PageText.h"
#include "platform/Services.h"

namespace vantoril::places {

// A page whose observation time is older than notify::kStaleAfter is stale.

enum class Verdict { Fine, OtherStation, Stale, Failed };

struct CheckResult {
  Verdict verdict = Verdict::Failed;
  std::u16string station;  // od1, when the page has one
  std::u16string time;     // the observation time as a run records it
  std::string cause;       // why the page is not fine
};

// The page of `place` cut as a run cuts it (block, observation time, the
// four series), judged at `now`. The observation time is the site's,
// Beijing time.
CheckResult judgePage(std::u16string_view page, std::u16string_view place, std::chrono::system_clock::time_point now);
// The same of a page as a downloader hands it over: a UTF-8 page is cut in
// its bytes, as a run cuts it.
CheckResult judgePage(const page::Fetched& page, std::u16string_view place, std::chrono::system_clock::time_point now);

// Whether the station may be the place's: one name holds the first two
// characters of the other.
bool stationBelongs(std::u16string_view station, std::u16string_view place);

// One line: "站名 …，观测时间 …" for a fine page, else the cause.
std::string resultText(const CheckResult& result);

struct PlaceToCheck {
  std::u16string name;
  std::string file;  // its catalogue file
};

// Checks every place in order, the pages of the places after the current
// one fetched ahead as a run fetches them; `done` receives each result.
// `whileWaiting` is called now and then while a page is awaited.
void checkPlaces(const std::vector<PlaceToCheck>& places, Downloader& downloader,
                 std::chrono::system_clock::time_point now,
                 const std::function<void(const PlaceToCheck&, const CheckResult&)>& done,
                 const std::function<void()>& whileWaiting = {});

}  // namespace vantoril::places
