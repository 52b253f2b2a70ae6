// Where the time of a recording run goes: the steps of one place, each run
// over every page of the bench server and timed on its own.
//
//   record_stages PORT COUNT FOLDER
//
// FOLDER is a scratch program folder (its WebSite and WeatherData are
// written). Prints one line per step: total milliseconds and microseconds
// per page.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "platform/Cp936.h"
#include "platform/CurlDownloader.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"
#include "recording/Observation.h"

namespace {

using namespace vantoril;
using Clock = std::chrono::steady_clock;

struct Row {
  std::string step;
  double ms;
  bool counted;  // one of the steps of a run, not a detail or the floor
};
std::vector<Row> rows;

template <class F>
void timed(const std::string& step, bool counted, F&& f) {
  const auto start = Clock::now();
  f();
  rows.push_back({step, std::chrono::duration<double, std::milli>(Clock::now() - start).count(), counted});
}

std::size_t keepBytes(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: record_stages PORT COUNT FOLDER\n";
    return 2;
  }
  const std::string port = argv[1];
  const int count = std::atoi(argv[2]);
  const std::string folder = argv[3];
  std::vector<std::string> urls;
  for (int i = 0; i < count; ++i) {
    char path[16];
    std::snprintf(path, sizeof path, "/p%04d", i);
    urls.push_back("http://127.0.0.1:" + port + path);
  }
  std::filesystem::create_directories(folder + "/WebSite");
  std::filesystem::remove_all(folder + "/WeatherData");
  const std::string catalogueFile = folder + "/WebSite/bench.txt";
  writeWholeFile(catalogueFile, "http://127.0.0.1:" + port + "/p0000\r\n");

  // The floor: libcurl alone, one handle, the bytes kept and nothing more.
  std::vector<std::string> bytes(urls.size());
  timed("libcurl alone: fetch, bytes kept (the floor)", false, [&] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &keepBytes);
    for (std::size_t i = 0; i < urls.size(); ++i) {
      curl_easy_setopt(handle, CURLOPT_URL, urls[i].c_str());
      curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void*>(&bytes[i]));
      curl_easy_perform(handle);
    }
    curl_easy_cleanup(handle);
  });

  std::vector<std::u16string> pages(urls.size());
  timed("CurlDownloader::download: fetch, charset, decode", true, [&] {
    CurlDownloader downloader;
    for (std::size_t i = 0; i < urls.size(); ++i) pages[i] = downloader.download(fromUtf8(urls[i]));
  });
  timed("  the same, 6 pages fetched ahead", false, [&] {
    CurlDownloader downloader;
    std::deque<Downloader::Ticket> ahead;
    for (std::size_t i = 0, next = 0; i < urls.size(); ++i) {
      for (; next < urls.size() && next <= i + CurlDownloader::maxTransfers; ++next)
        ahead.push_back(downloader.fetchAhead(fromUtf8(urls[next])));
      pages[i] = downloader.collect(ahead.front(), [] {});
      ahead.pop_front();
    }
  });
  timed("  of which fromUtf8 (UTF-8 to UTF-16)", false, [&] {
    for (const std::string& b : bytes) {
      const std::u16string page = fromUtf8(b);
      if (page.empty()) std::abort();
    }
  });

  timed("  catalogue file alone: fileExists + readLines", false, [&] {
    for (int i = 0; i < count; ++i) {
      if (!fileExists(catalogueFile)) std::abort();
      if (cp936::readLines(catalogueFile).empty()) std::abort();
    }
  });

  TextBox text1("Text1", u"", 30000), text5("Text5", u"", 0);
  timed("Text1 = first 30000 characters", true, [&] {
    for (const std::u16string& page : pages) {
      text1.setText(u"");
      text1.setText(page);
    }
  });

  std::vector<std::u16string> blocks(pages.size());
  timed("cutBlock: marker search over the whole page", true, [&] {
    for (std::size_t i = 0; i < pages.size(); ++i) blocks[i] = cutBlock(pages[i]).block;
  });
  timed("observationTime", true, [&] {
    for (const std::u16string& block : blocks)
      if (observationTime(block).keyPosition == 0) std::abort();
  });

  std::vector<SeriesLists> lists(blocks.size());
  timed("extractSeries x4 + displayText x8", true, [&] {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      SeriesList* each[] = {&lists[i].hour, &lists[i].temperature, &lists[i].precipitation, &lists[i].humidity};
      const char16_t* keys[] = {u"od21", u"od22", u"od26", u"od27"};
      for (int k = 0; k < 4; ++k) {
        extractSeries(blocks[i], keys[k], "series", *each[k]);
        if (displayText(each[k]->keyPositions).empty() || displayText(each[k]->values).empty()) std::abort();
      }
    }
  });

  // The first record of a place creates its data file, which costs what
  // the file system takes to create a file; every later run appends.
  const auto appendAll = [&] {
    for (std::size_t i = 0; i < lists.size(); ++i) {
      const std::u16string place = u"地点" + decimal(static_cast<long long>(i));
      datafile::appendRecord(folder, place, datafile::recordText(u"2020102023", lists[i]));
    }
  };
  timed("  first record of a place: creates its data file", false, appendAll);
  timed("  record alone: recordText + appendRecord", false, appendAll);

  // In a run each place reads its catalogue file (GBK to UTF-16) and then
  // writes its record (UTF-16 to GBK), one after the other.
  timed("catalogue read + record append, as a run does", true, [&] {
    for (std::size_t i = 0; i < lists.size(); ++i) {
      if (cp936::readLines(catalogueFile).empty()) std::abort();
      const std::u16string place = u"地点" + decimal(static_cast<long long>(i));
      datafile::appendRecord(folder, place, datafile::recordText(u"2020102023", lists[i]));
    }
  });

  double total = 0;
  for (const Row& r : rows) {
    std::printf("  %-50s %9.1f ms %9.1f us/page\n", r.step.c_str(), r.ms, 1000.0 * r.ms / count);
    if (r.counted) total += r.ms;
  }
  std::printf("  %-50s %9.1f ms %9.1f us/page\n", "sum of the program's steps", total, 1000.0 * total / count);
  return 0;
}
