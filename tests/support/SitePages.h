#pragma once
// Pages of the site for the address checks: the harbin sample with its
// observation time and station replaced.
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "SampleData.h"
#include "platform/Text.h"

namespace vantoril::test {

// A page as the site serves it: the harbin sample with its time and station replaced.
inline std::u16string pageWith(const std::string& od0, const std::string& od1) {
  std::string page = sampleData("harbin-2016.html");
  const auto swap = [&page](const std::string& from, const std::string& to) {
    const std::size_t at = page.find(from);
    if (at == std::string::npos) throw std::logic_error("the sample page changed: no " + from);
    page.replace(at, from.size(), to);
  };
  swap("\"od0\":\"20160302080000\"", "\"od0\":\"" + od0 + "\"");
  swap("\"od1\":\"哈尔滨\"", "\"od1\":\"" + od1 + "\"");
  return fromUtf8(page);
}

// yyyyMMddHHmm in Beijing time, `ago` before now.
inline std::string siteTime(std::chrono::hours ago) {
  using namespace std::chrono;
  const auto t = floor<hours>(system_clock::now() + hours(8) - ago);
  const year_month_day day{floor<days>(t)};
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02u%02u%02d00", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                static_cast<int>((t - floor<days>(t)).count()));
  return text;
}

// "12月7日 14时" of a yyyyMMddHH… time, as a person reads it.
inline std::string personTime(const std::string& time) {
  return std::to_string(std::stoi(time.substr(4, 2))) + "月" + std::to_string(std::stoi(time.substr(6, 2))) + "日 " +
         std::to_string(std::stoi(time.substr(8, 2))) + "时";
}

}  // namespace vantoril::test
