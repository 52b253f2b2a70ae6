// The chart page of a place with a long history: a data file of 10,000
// records becomes its page; runs every hour (417 days, records overlapping
// by 24 hours) and every three hours (3.4 years, more distinct hours).
//
//   chart_page [FOLDER]
//
// FOLDER is a scratch program folder (default: a temporary one, removed at
// the end). Prints the sizes and the median time of the runs, and the
// median processor time (what the time would be on an idle machine), beside
// the floor: the same data file read and decoded from GBK by iconv, in turn
// with the page (target: the page within 4 x that floor, pair by pair).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "chart/ChartPage.h"
#include "platform/Cp936.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace {

using namespace vantoril;
using Clock = std::chrono::steady_clock;

constexpr int kRecords = 10000;
constexpr int kRuns = 7;

// A data file as the recording run writes it, one run every `spacing` hours
// from 2023-01-01 00; temperature and humidity follow the day, rain now and then.
std::string dataFile(int spacing) {
  std::u16string text = u"天气数据文件\r\n";
  const auto first = std::chrono::sys_days{std::chrono::year{2023} / 1 / 1};
  for (int k = 0; k < kRecords; ++k) {
    const auto observation = std::chrono::sys_seconds{first} + std::chrono::hours{k * spacing};
    const auto day = std::chrono::floor<std::chrono::days>(observation);
    const std::chrono::year_month_day date{day};
    const long hourOfDay = std::chrono::duration_cast<std::chrono::hours>(observation - day).count();
    char time[48];
    std::snprintf(time, sizeof time, "%04d%02u%02u%02ld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), hourOfDay);
    text += u"数据记录时间:" + fromUtf8(time) + u"\r\n整点\t气温\t降水\t湿度\r\n";
    for (int r = 0; r < 25; ++r) {
      const int h = k * spacing - 24 + r;
      const double temperature = 15 + 10 * std::sin(h * 0.2618) + 8 * std::sin(h / 1400.0);
      char row[64];
      std::snprintf(row, sizeof row, "%02d\t%.1f\t%s\t%d\r\n", ((h % 24) + 24) % 24, temperature,
                    h % 97 < 3 ? "1.5" : "0", 60 + (h * 7) % 35);
      text += fromUtf8(row);
    }
    text += u"\r\n";
  }
  return cp936::encode(text);
}

double load() {
  double one = 0;
  if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &one) != 1) one = 0;
    std::fclose(f);
  }
  return one;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  bool temporary = argc < 2;
  if (temporary) {
    folder = (std::filesystem::temp_directory_path() / "vantoril-chart-bench").string();
    std::filesystem::remove_all(folder);
  } else {
    folder = argv[1];
  }
  std::filesystem::create_directories(folder + "/WeatherData");
  std::printf("Chart page, %d records, %d runs each (load %.2f)\n", kRecords, kRuns, load());
  for (const int spacing : {1, 3}) {
    const std::u16string place = u"基准站" + decimal(spacing);
    const std::string data = dataFile(spacing);
    writeWholeFile(folder + "/WeatherData/" + toUtf8(place) + "-WeatherData.xls", data);
    const std::string dataPath = folder + "/WeatherData/" + toUtf8(place) + "-WeatherData.xls";
    std::vector<double> ms, cpu, floorMs, ratios;
    std::string page;
    for (int run = 0; run <= kRuns; ++run) {  // the first run warms up
      const auto floorStart = Clock::now();
      const std::u16string decoded = cp936::decode(readWholeFile(dataPath));
      const double floorElapsed = std::chrono::duration<double, std::milli>(Clock::now() - floorStart).count();
      if (decoded.empty()) return 1;
      const auto start = Clock::now();
      const std::clock_t startCpu = std::clock();
      page = chart::writePage(folder, place);
      const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      if (run == 0) continue;
      ms.push_back(elapsed);
      floorMs.push_back(floorElapsed);
      ratios.push_back(elapsed / floorElapsed);
      cpu.push_back(1000.0 * static_cast<double>(std::clock() - startCpu) / CLOCKS_PER_SEC);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    std::sort(floorMs.begin(), floorMs.end());
    std::sort(ratios.begin(), ratios.end());
    const auto pageBytes = std::filesystem::file_size(page);
    std::printf("  a run every %d hour(s), data file %.1f MB\n", spacing, static_cast<double>(data.size()) / 1e6);
    std::printf("    %-38s %8.1f ms   (fastest %.1f, slowest %.1f)\n", "write the page (median)", ms[ms.size() / 2],
                ms.front(), ms.back());
    std::printf("    %-38s %8.1f ms\n", "processor time (median)", cpu[cpu.size() / 2]);
    std::printf("    %-38s %8.1f ms   page / floor %.2f x (pairs' median; target 4 x)\n",
                "floor: the file read and decoded (iconv)", floorMs[floorMs.size() / 2], ratios[ratios.size() / 2]);
    std::printf("    %-38s %8.1f KB   (%.3f x the data file)\n", "page size", static_cast<double>(pageBytes) / 1e3,
                static_cast<double>(pageBytes) / static_cast<double>(data.size()));
  }
  if (temporary) std::filesystem::remove_all(folder);
  return 0;
}
