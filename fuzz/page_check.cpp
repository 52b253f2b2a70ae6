// Fuzz target: a downloaded page, as any bytes, through the address check
// (the run's block cut, observation time and four series, then the station,
// the time of day and the verdict), for a place named by the input's first
// bytes. Nothing may crash; a verdict must agree with what the page holds.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Check.h"
#include "places/AddressCheck.h"
#include "platform/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.find('\n');
  const std::u16string place = fromUtf8(bytes.substr(0, split == std::string_view::npos ? 0 : split));
  const std::u16string page = fromUtf8(split == std::string_view::npos ? bytes : bytes.substr(split + 1));
  // A fixed moment: 2020-10-21 00:00 UTC.
  const auto now = std::chrono::sys_days{std::chrono::year{2020} / 10 / 21};
  const places::CheckResult result = places::judgePage(page, place, now);
  const std::string text = places::resultText(result);
  CHECK(!text.empty());
  // A station never runs past its closing quotation mark.
  CHECK(result.station.find(u'"') == std::u16string::npos);
  if (result.verdict == places::Verdict::Fine) {
    CHECK(result.cause.empty());
    CHECK(result.time.size() == 10);
    CHECK(places::stationBelongs(result.station, place));
    CHECK(page.find(u"\"od1\":\"" + result.station + u"\"") != std::u16string::npos);
  } else {
    CHECK(!result.cause.empty());
  }
  if (result.verdict == places::Verdict::OtherStation) CHECK(!places::stationBelongs(result.station, place));
  return 0;
}
