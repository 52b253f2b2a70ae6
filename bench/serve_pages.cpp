// The web server of the recording benchmark: 1,000 place pages on
// 127.0.0.1, /p0000 to /p0999, over keep-alive HTTP/1.1.
//
//   serve_pages [--count N] [--pages DIR] [--header-charset] [--delay MS]
//
// Without --pages it makes its own pages, laid out like the site's city
// pages: UTF-8, 70 to 85 KB, the observation block well past character
// 30,000 with 25 observation objects, Chinese text and markup around it.
// With --pages it serves the *.html files of DIR in turn instead. Prints the
// port on one line, then serves until stdin closes or it is killed. The
// Content-Type header names no charset, as on the site, unless
// --header-charset is given ("text/html; charset=utf-8"). --delay holds
// every answer back MS milliseconds after its request, as a distant site
// would (each connection waits on its own).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/HttpServer.h"

namespace {

// Characters (not bytes) of UTF-8 text.
std::size_t characters(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

class PageMaker {
 public:
  explicit PageMaker(unsigned seed) : random_(seed) {}

  std::string page(int number) {
    std::string out =
        "\n<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\" />\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n"
        "<title>" + city() + "天气预报," + city() + "7天天气预报,天气网</title>\n"
        "<meta name=\"keywords\" content=\"天气预报,天气,气象,空气质量,生活指数\" />\n"
        "<link rel=\"stylesheet\" href=\"https://i.tq121.com.cn/c/weather2019/weather1d.css?" +
        std::to_string(number) + "\" />\n</head>\n<body>\n";
    std::size_t chars = characters(out);
    const std::size_t blockAt = pick(31000, 39000);
    while (chars < blockAt) chars += append(out, snippet());
    const std::size_t blockOffset = out.size();
    out += block();
    const std::size_t bytes = pick(70000, 85000);
    while (out.size() < bytes) append(out, snippet());
    out += "</body>\n</html>\n";
    check(std::string_view(out).substr(0, blockOffset));
    return out;
  }

 private:
  std::size_t pick(std::size_t low, std::size_t high) {
    return std::uniform_int_distribution<std::size_t>(low, high)(random_);
  }
  template <std::size_t N>
  const char* any(const char* const (&list)[N]) {
    return list[pick(0, N - 1)];
  }
  std::string city() {
    static const char* const cities[] = {"北京", "惠州", "广州", "上海", "杭州", "成都", "西安", "昆明",
                                         "哈尔滨", "乌鲁木齐", "拉萨", "南宁", "深圳", "武汉", "长沙", "兰州"};
    return any(cities);
  }
  std::string weather() {
    static const char* const kinds[] = {"晴", "多云", "阴", "小雨", "阵雨", "雷阵雨", "晴转多云", "多云转阴", "小雪"};
    return any(kinds);
  }
  std::string number(std::size_t low, std::size_t high) { return std::to_string(pick(low, high)); }

  static std::size_t append(std::string& out, const std::string& text) {
    out += text;
    return characters(text);
  }

  std::string snippet() {
    switch (pick(0, 6)) {
      case 0:
        return "<li><a href=\"http://www.weather.com.cn/weather/101" + number(10000000, 39999999) +
               ".shtml\" target=\"_blank\" title=\"" + city() + "天气预报\">" + city() + "</a><span>" + weather() +
               "</span><i>" + number(18, 33) + "/" + number(5, 17) + "°C</i></li>\n";
      case 1:
        return "<p class=\"txt\">今天白天到夜间" + weather() +
               "，局部有阵雨，气温较高，体感闷热，外出请注意防暑降温；夜间" + weather() +
               "，风力不大，适宜户外活动。</p>\n";
      case 2:
        return "<div class=\"news\"><h3><a href=\"http://news.weather.com.cn/2020/10/3" + number(100000, 999999) +
               ".shtml\" target=\"_blank\">强冷空气将影响我国中东部地区 " + city() + "等地气温创新低</a></h3>"
               "<span>2020-10-" + number(10, 28) + "</span></div>\n";
      case 3:
        return "<script type=\"text/javascript\">var hm_u=[];hm_u.push(['_setAccount','" + number(10000000, 99999999) +
               "']);(function(){var s=document.createElement('script');s.async=true;"
               "s.src='https://i.tq121.com.cn/j/core.js?v=" + number(1, 999) + "';})();</script>\n";
      case 4:
        return "<dl class=\"lv\"><dt>" + city() + "生活指数</dt><dd><em>穿衣</em><span>" + weather() +
               "，建议着薄外套、开衫牛仔衫裤等服装。</span></dd><dd><em>紫外线</em><span>中等</span></dd></dl>\n";
      case 5:
        return "<div class=\"hotNews clearfix\"><a href=\"http://www.weather.com.cn/index/2020/10/" +
               number(1000000, 9999999) + ".shtml\" target=\"_blank\"><img src=\"https://i.tq121.com.cn/i/weather2020/" +
               number(100, 999) + ".jpg\" alt=\"\" width=\"300\" height=\"170\" /></a></div>\n";
      default:
        return "<table class=\"hour3\"><tr><td>" + number(0, 23) + "时</td><td>" + weather() + "</td><td>" +
               number(5, 30) + "℃</td><td>东北风</td><td>&lt;3级</td></tr></table>\n";
    }
  }

  // The block as the site writes it: the JSON on one line, 25 objects,
  // newest first, each with od21 to od28.
  std::string block() {
    const int hour = static_cast<int>(pick(0, 23));
    char time[16];
    std::snprintf(time, sizeof time, "202010%02d%02d00", static_cast<int>(pick(10, 28)), hour);
    std::string out = "\t\t\t\t<div class=\"left-div\">\n\t\t\t<script>\nvar observe24h_data = {\"od\":{\"od0\":\"";
    out += time;
    out += "\",\"od1\":\"" + city() + "\",\"od2\":[";
    static const char* const winds[] = {"东风", "东北风", "北风", "西北风", "西风", "西南风", "南风", "东南风"};
    for (int i = 0; i < 25; ++i) {
      char hh[4];
      std::snprintf(hh, sizeof hh, "%02d", ((hour - i) % 24 + 24) % 24);
      const std::size_t rain = pick(0, 9);
      const std::string precipitation = rain < 6 ? "0.0" : rain < 8 ? "0" : "1." + number(0, 9);
      const std::string aqi = pick(0, 9) == 0 ? "" : number(20, 222);
      if (i > 0) out += ",";
      out += "{\"od21\":\"" + std::string(hh) + "\",\"od22\":\"" + number(0, 30) + "\",\"od23\":\"" +
             number(0, 359) + "\",\"od24\":\"" + any(winds) + "\",\"od25\":\"" + number(0, 3) + "\",\"od26\":\"" +
             precipitation + "\",\"od27\":\"" + number(18, 88) + "\",\"od28\":\"" + aqi + "\"}";
    }
    out += "]}};\n</script>\n<div id=\"weatherChart\">\n</div>\n\t\t</div>\n";
    return out;
  }

  // The text before the block never holds a marker or a key.
  static void check(std::string_view head) {
    for (const char* key : {"observe24h_data", "weatherChart", "od0", "od21", "od22", "od26", "od27"}) {
      if (head.find(key) != std::string_view::npos) {
        std::cerr << "serve_pages: a made page holds " << key << " before its block\n";
        std::exit(1);
      }
    }
  }

  std::mt19937 random_;
};

std::vector<std::string> readPages(const std::string& folder) {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file() && entry.path().extension() == ".html") paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> pages;
  for (const auto& path : paths) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    pages.push_back(text.str());
  }
  return pages;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 1000;
  std::string folder;
  std::string contentType = "text/html";
  int delayMs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--count" && i + 1 < argc) {
      count = std::atoi(argv[++i]);
    } else if (arg == "--pages" && i + 1 < argc) {
      folder = argv[++i];
    } else if (arg == "--delay" && i + 1 < argc) {
      delayMs = std::atoi(argv[++i]);
    } else if (arg == "--header-charset") {
      contentType = "text/html; charset=utf-8";
    } else {
      std::cerr << "usage: serve_pages [--count N] [--pages DIR] [--header-charset] [--delay MS]\n";
      return 2;
    }
  }
  if (count < 1 || count > 10000) {
    std::cerr << "serve_pages: --count must be 1 to 10000\n";
    return 2;
  }
  std::vector<std::string> pages;
  if (!folder.empty()) {
    pages = readPages(folder);
    if (pages.empty()) {
      std::cerr << "serve_pages: no *.html in " << folder << '\n';
      return 1;
    }
  }

  vantoril::test::HttpServer server;
  server.delayAnswers(std::chrono::milliseconds(delayMs));
  PageMaker maker(20201020);
  std::size_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    char path[16];
    std::snprintf(path, sizeof path, "/p%04d", i);
    std::string body = pages.empty() ? maker.page(i) : pages[static_cast<std::size_t>(i) % pages.size()];
    bytes += body.size();
    server.route(path, {200, contentType, std::move(body)});
  }
  std::cout << server.port() << std::endl;
  std::cerr << "serve_pages: " << count << " pages, " << bytes << " bytes, "
            << (pages.empty() ? std::string("made here") : "from " + folder) << '\n';

  char buffer[256];
  while (::read(0, buffer, sizeof buffer) > 0) {
  }
  return 0;
}
