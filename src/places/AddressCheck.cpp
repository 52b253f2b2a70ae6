#include "places/AddressCheck.h"

#include <exception>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "catalogue/Catalogue.h"
#include "chart/History.h"
#include "notify/RunNews.h"
#include "platform/PageRequest.h"
#include "platform/Text.h"
#include "recording/Observation.h"
#include "recording/PagesAhead.h"

namespace vantoril::places {

namespace {

constexpr std::u16string_view kStationKey = u"\"od1\":\"";

// The station named by "od1" in the block; empty when there is none.
std::u16string stationOf(std::u16string_view block) {
  const std::size_t key = block.find(kStationKey);
  if (key == std::u16string_view::npos) return {};
  const std::size_t start = key + kStationKey.size();
  const std::size_t end = block.find(u'"', start);
  if (end == std::u16string_view::npos) return {};
  return std::u16string(block.substr(start, end - start));
}

std::u16string firstTwo(std::u16string_view name) { return std::u16string(name.substr(0, 2)); }

}  // namespace

bool stationBelongs(std::u16string_view station, std::u16string_view place) {
  if (station.empty() || place.empty()) return false;
  return station.find(firstTwo(place)) != std::u16string_view::npos ||
         place.find(firstTwo(station)) != std::u16string_view::npos;
}

CheckResult judgePage(std::u16string_view page, std::u16string_view place, std::chrono::system_clock::time_point now) {
  return judgePage(page::received(std::u16string(page)), place, now);
}

CheckResult judgePage(const page::Fetched& page, std::u16string_view place, std::chrono::system_clock::time_point now) {
  CheckResult result;
  try {
    const std::u16string block = cutBlock(page).block;
    result.time = observationTime(block).time;
    SeriesLists lists;
    const auto keys = findSeriesKeys(block);
    for (std::size_t s = 0; s < std::size(kSeriesKeys); ++s)
      extractSeries(block, kSeriesKeys[s], keys[s], lists.*kSeriesKeys[s].list);
    result.station = stationOf(block);
  } catch (const std::exception& e) {
    result.cause = e.what();
    return result;
  }
  if (!chart::parseHour(result.time)) {
    result.cause = "观测时间 “" + toUtf8(result.time) + "” 不是时间";
    return result;
  }
  if (auto stale = notify::staleCause(result.time, now)) {
    result.verdict = Verdict::Stale;
    result.cause = std::move(*stale);
    return result;
  }
  if (!stationBelongs(result.station, place)) {
    result.verdict = Verdict::OtherStation;
    result.cause = result.station.empty() ? "页面没有站名（od1）"
                                          : "站名 " + toUtf8(result.station) + " 不像是 " + toUtf8(place) + " 的";
    return result;
  }
  result.verdict = Verdict::Fine;
  return result;
}

std::string resultText(const CheckResult& result) {
  // The page's time as a person says it; a page this recent needs no year.
  const auto hour = chart::parseHour(result.time);
  const std::string time = hour ? notify::personHour(*hour, *hour) : toUtf8(result.time);
  const std::string fine = "站名 " + toUtf8(result.station) + "，观测时间 " + time;
  switch (result.verdict) {
    case Verdict::Fine:
      return fine;
    case Verdict::OtherStation:
      return "警告：" + result.cause + "（观测时间 " + time + "）";
    case Verdict::Stale:
      return "过时：" + result.cause;
    case Verdict::Failed:
      break;
  }
  return "错误：" + result.cause;
}

void checkPlaces(const std::vector<PlaceToCheck>& places, Downloader& downloader,
                 std::chrono::system_clock::time_point now,
                 const std::function<void(const PlaceToCheck&, const CheckResult&)>& done,
                 const std::function<void()>& whileWaiting) {
  PagesAhead ahead(downloader);
  const int count = static_cast<int>(places.size());
  for (int i = 0; i < count; ++i) {
    const PlaceToCheck& place = places[static_cast<std::size_t>(i)];
    ahead.fetchFollowing(i, count, [&places](int p) { return places[static_cast<std::size_t>(p)].file; });
    CheckResult result;
    std::u16string address;
    try {
      if (auto read = catalogue::addressIfExists(place.file)) {
        address = std::move(*read);
        result = judgePage(ahead.take(i, address, whileWaiting), place.name, now);
      } else {
        result.cause = "没有目录文件 " + place.file;
      }
    } catch (const std::exception& e) {
      result.cause = e.what();
    }
    // As a run says it: the address beside a cause that does not name it.
    if (result.verdict == Verdict::Failed) result.cause = page::withAddress(std::move(result.cause), toUtf8(address));
    done(place, result);
  }
}

}  // namespace vantoril::places
