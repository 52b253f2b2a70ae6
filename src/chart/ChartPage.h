#pragma once
// The chart page of a place: "WeatherData/<place>-WeatherData.html" beside
// its data file, one self-contained page (inline SVG, no script, nothing
// loaded from elsewhere) that parses as HTML and as XML.
#include <string>
#include <string_view>

#include "chart/History.h"

namespace vantoril::chart {

// More hours than this are thinned out for display: the span is cut into
// kBuckets equal parts, and each keeps its lowest and highest value.
inline constexpr std::size_t kMostPointsShown = 2400;
inline constexpr std::size_t kBuckets = 1200;

// Text for HTML and XML alike, as every page of the program writes it:
// markup characters as entities, the characters XML cannot hold as U+FFFD.
std::string escapedText(std::u16string_view text);

// A path's file name in an address relative to the page beside it:
// every byte but letters, digits and -._~ as %XX.
std::string relativeAddress(std::string_view fileName);

std::string pagePath(const std::string& programFolder, std::u16string_view place);

// The page, UTF-8. The history must hold at least one hour.
std::string pageText(std::u16string_view place, const History& history);

// Reads the place's data file, then its pending file, and writes its page in one piece (the old
// page stays whole until the new one replaces it); returns the page's path.
// No data file, or one without any record: Failure "<place> 还没有记录",
// and nothing is written. A name that is empty or holds / or \ is refused.
std::string writePage(const std::string& programFolder, std::u16string_view place);

}  // namespace vantoril::chart
