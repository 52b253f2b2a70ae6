// The page comparing places: their temperatures and humidity on one time axis.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <tuple>
#include <limits>

#include "chart/ChartPage.h"
#include "export/Coverage.h"
#include "overview/Overview.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "quality/Quality.h"
#include "datafile/DataFile.h"

namespace vantoril::overview {

using chart::HourIndex;

namespace {

constexpr const char* kColours[] = {"#d62728", "#1f77b4", "#2ca02c", "#ff7f0e", "#9467bd",
                                    "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
constexpr double kLeft = 64, kWidth = 1100, kTempTop = 40, kTempHeight = 300, kHumidTop = 380, kHumidHeight = 180;
// More hours than this are shown as the means of equal parts of the span.
constexpr HourIndex kMostPoints = 2400, kParts = 1200;

// A place as drawn: its readings not marked, as floats, and its gaps.
struct Shown {
  std::u16string place;
  std::vector<HourIndex> hours;
  std::vector<float> temperature, humidity;
  std::vector<exporting::Gap> gaps;
};

std::string px(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", std::clamp(v, -1e6, 1e6));
  return buf;
}

}  // namespace

std::string comparePath(const std::string& programFolder) {
  return datafile::folder(programFolder) + pathSeparator() + fileNameBytes(u"比较图表.html");
}

std::string writeComparePage(const std::string& programFolder, const std::vector<std::u16string>& places) {
  std::vector<Shown> shown;
  std::vector<std::u16string> without;
  HourIndex first = std::numeric_limits<HourIndex>::max(), last = std::numeric_limits<HourIndex>::min();
  double low = INFINITY, high = -INFINITY;
  for (const std::u16string& place : places) {
    const std::optional<std::string> bytes = chart::placeBytes(programFolder, place);
    chart::History history = bytes ? chart::readHistoryBytes(*bytes) : chart::History{};
    if (history.hours.empty()) {
      without.push_back(place);
      continue;
    }
    const std::vector<std::uint8_t> marks = quality::marksOf(history.hours);
    Shown s{place, {}, {}, {}, {}};
    for (std::size_t i = 0; i < history.hours.size(); ++i) {
      const chart::HourValues& h = history.hours[i];
      const double t = marks[i] & quality::kTemperatureMarks ? NAN : h.temperature;
      s.hours.push_back(h.hour);
      s.temperature.push_back(static_cast<float>(t));
      s.humidity.push_back(static_cast<float>(marks[i] & quality::kHumidityRange ? NAN : h.humidity));
      if (!std::isnan(t)) low = std::min(low, t), high = std::max(high, t);
    }
    exporting::forEachGap(history.hours, [&s](const exporting::Gap& g) { s.gaps.push_back(g); });
    first = std::min(first, history.hours.front().hour);
    last = std::max(last, history.hours.back().hour);
    shown.push_back(std::move(s));
  }
  if (shown.empty()) throw Failure("要比较的地名都还没有记录");
  if (low > high) low = 0, high = 30;
  double step = 5;
  while ((high - low) / step > 12) step *= 2;
  const double tLow = std::floor(low / step) * step, tHigh = std::max(std::ceil(high / step) * step, tLow + step);
  const HourIndex span = last - first + 1;
  const HourIndex part = span > kMostPoints ? (span + kParts - 1) / kParts : 1;
  const double perHour = kWidth / static_cast<double>(span);
  const auto x = [&](HourIndex hour) { return kLeft + (static_cast<double>(hour - first) + 0.5) * perHour; };
  const auto yT = [&](double v) { return kTempTop + kTempHeight * (1 - (v - tLow) / (tHigh - tLow)); };
  const auto yH = [&](double v) { return kHumidTop + kHumidHeight * (1 - v / 100); };

  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + px(kLeft + kWidth + 60) + "\" height=\"" +
                    px(kHumidTop + kHumidHeight + 40) + "\" font-size=\"11\">\n";
  for (const auto& [top, height, label] : {std::tuple{kTempTop, kTempHeight, "气温 (°C)"},
                                           std::tuple{kHumidTop, kHumidHeight, "湿度 (%)"}}) {
    svg += "<rect x=\"" + px(kLeft) + "\" y=\"" + px(top) + "\" width=\"" + px(kWidth) + "\" height=\"" + px(height) +
           "\" fill=\"none\" stroke=\"#888\"/>\n<text x=\"" + px(kLeft) + "\" y=\"" + px(top - 6) + "\">" + label +
           "</text>\n";
  }
  for (double v = tLow; v <= tHigh; v += step)
    svg += "<text x=\"" + px(kLeft - 6) + "\" y=\"" + px(yT(v) + 4) + "\" text-anchor=\"end\">" +
           quality::readingText(v) + "</text>\n";
  for (int v = 0; v <= 100; v += 25)
    svg += "<text x=\"" + px(kLeft - 6) + "\" y=\"" + px(yH(v) + 4) + "\" text-anchor=\"end\">" + std::to_string(v) +
           "</text>\n";
  // About eight dates under the plots, at midnights.
  const HourIndex every = std::max<HourIndex>(24, (span / 8 + 23) / 24 * 24);
  for (HourIndex h = (first + 23) / 24 * 24; h <= last; h += every) {
    const chart::CivilHour c = chart::civilHour(h);
    svg += "<text x=\"" + px(x(h)) + "\" y=\"" + px(kHumidTop + kHumidHeight + 16) + "\" text-anchor=\"middle\">" +
           std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day) + "</text>\n";
  }
  std::string legend = "<p class=\"legend\">";
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const Shown& s = shown[k];
    const std::string colour = kColours[k % std::size(kColours)], name = chart::escapedText(s.place);
    legend += "<span style=\"color:" + colour + "\">■</span> " + name + "　";
    svg += "<g class=\"gaps\" fill=\"" + colour + "\" fill-opacity=\"0.15\">\n";
    for (const exporting::Gap& g : s.gaps) {
      if (static_cast<double>(g.hours) * perHour < 1) continue;
      for (const auto& [top, height] : {std::pair{kTempTop, kTempHeight}, std::pair{kHumidTop, kHumidHeight}})
        svg += "<rect class=\"gap\" x=\"" + px(x(g.start) - perHour / 2) + "\" y=\"" + px(top) + "\" width=\"" +
               px(static_cast<double>(g.hours) * perHour) + "\" height=\"" + px(height) + "\"><title>" + name +
               " 缺测 " + chart::hourText(g.start) + "起 " + std::to_string(g.hours) + " 小时</title></rect>\n";
    }
    svg += "</g>\n";
    // Each series as lines of the means of its parts; a part without a value breaks the line.
    for (const auto& [values, scale] :
         {std::pair{&s.temperature, std::function<double(double)>(yT)}, std::pair{&s.humidity, std::function<double(double)>(yH)}}) {
      const auto& y = scale;  // clang before 16 lets no lambda take a structured binding
      svg += "<g class=\"place\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\"><title>" + name +
             "</title>\n<polyline points=\"";
      HourIndex partNow = -1, lastPart = -2;
      double sum = 0;
      int n = 0;
      const auto flush = [&] {
        if (n == 0) return;
        if (lastPart >= 0 && partNow != lastPart + 1) svg += "\"/>\n<polyline points=\"";
        svg += px(x(first + partNow * part + part / 2)) + "," + px(y(sum / n)) + " ";
        lastPart = partNow;
      };
      for (std::size_t i = 0; i < s.hours.size(); ++i) {
        const HourIndex p = (s.hours[i] - first) / part;
        if (p != partNow) flush(), partNow = p, sum = 0, n = 0;
        if (!std::isnan((*values)[i])) sum += (*values)[i], ++n;
      }
      flush();
      svg += "\"/>\n</g>\n";
    }
  }
  svg += "</svg>\n";
  for (const std::u16string& p : without) legend += chart::escapedText(p) + "（还没有记录）　";
  legend += "</p>\n";
  std::string page =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"zh-CN\">\n<head>\n"
      "<meta charset=\"utf-8\"/>\n<title>比较图表</title>\n<style>body { font-family: sans-serif; margin: 16px; }"
      " svg { display: block; max-width: 100%; height: auto; }</style>\n</head>\n<body>\n<h1>比较图表</h1>\n" +
      legend + svg + "<p>时段：" + chart::hourText(first) + " 至 " + chart::hourText(last) +
      (part > 1 ? "；每点为 " + std::to_string(part) + " 小时的平均" : std::string()) +
      "。缺测的小时以各地的颜色衬底；可疑的读数不画出。</p>\n</body>\n</html>\n";
  const std::string path = comparePath(programFolder);
  ensureFolder(datafile::folder(programFolder));
  replaceFile(path, page);
  return path;
}

}  // namespace vantoril::overview
