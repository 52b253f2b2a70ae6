#include "chart/ChartPage.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "export/Coverage.h"
#include "platform/Cp936.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "datafile/DataFile.h"
#include "quality/Quality.h"

namespace vantoril::chart {

namespace {

// Page geometry, in pixels. The chart is as wide whatever the span (the
// hours spaced to fit), so that it and its scales on both sides fit a
// window 1,400 pixels wide beside the page's margins and a scroll bar.
constexpr double kLeft = 64, kTop = 48, kPlotHeight = 320, kRightAxis = 56, kBottom = 56;
constexpr double kChartWidth = 1340, kPlotWidth = kChartWidth - kLeft - 2 * kRightAxis;

struct Series {
  const char* name;
  const char* unit;
  const char* colour;
  double HourValues::*field;
};
constexpr Series kTemperature{"气温", "°C", "#d62728", &HourValues::temperature};
constexpr Series kHumidity{"湿度", "%", "#1f77b4", &HourValues::humidity};
constexpr Series kPrecipitation{"降水", "mm", "#2ca02c", &HourValues::precipitation};

// Text for HTML and XML alike: markup characters as entities, and the
// characters XML cannot hold as U+FFFD.
std::string escaped(std::u16string_view text) {
  std::u16string clean(text);
  for (char16_t& c : clean)
    if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE || c == 0xFFFF) c = 0xFFFD;
  std::string out;
  for (const char c : toUtf8(clean)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// The shortest text that reads back as the same number ("23", "0.5").
std::string number(double v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// Coordinates with one decimal; a value far off the page (a wild number
// in the data file) is kept within a million pixels.
std::string px(double v) {
  v = std::clamp(v, -1e6, 1e6);
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, std::round(v * 10) / 10, std::chars_format::fixed, 1);
  std::string s(buf, r.ptr);
  if (s.ends_with(".0")) s.resize(s.size() - 2);
  return s;
}

// About how wide a label is drawn at the page's 11-pixel font: a digit or
// letter some 7 pixels, a Chinese character 11.
double textWidth(std::string_view utf8) {
  double width = 0;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) width += 7;
    else if (b >= 0xC0) width += 11;
  }
  return width;
}

HourIndex floorDiv(HourIndex a, HourIndex b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

struct Point {
  HourIndex hour;
  double value;
  HourIndex bucket;
};

// The values of one series as shown: every hour, or, in buckets of several
// hours, each bucket's lowest and highest value in time order (only the
// highest for bars).
std::vector<Point> shownPoints(const History& history, double HourValues::*field, HourIndex first,
                               HourIndex bucketHours, bool highestOnly) {
  std::vector<Point> points;
  const HourValues* low = nullptr;
  const HourValues* high = nullptr;
  HourIndex bucket = 0;
  const auto flush = [&] {
    if (!high) return;
    if (!highestOnly && low != high && low->hour < high->hour) points.push_back({low->hour, low->*field, bucket});
    points.push_back({high->hour, high->*field, bucket});
    if (!highestOnly && low != high && low->hour > high->hour) points.push_back({low->hour, low->*field, bucket});
    low = high = nullptr;
  };
  for (const HourValues& h : history.hours) {
    if (std::isnan(h.*field)) continue;
    const HourIndex b = (h.hour - first) / bucketHours;
    if (high && b != bucket) flush();
    bucket = b;
    if (!low || h.*field < low->*field) low = &h;
    if (!high || h.*field > high->*field) high = &h;
  }
  flush();
  return points;
}

// The smallest of 1, 2, 5, 10, 20, 50, ... that is at least v.
double niceCeiling(double v) {
  double step = 1;
  for (;;) {
    for (const double m : {1.0, 2.0, 5.0})
      if (step * m >= v) return step * m;
    step *= 10;
  }
}

class Chart {
 public:
  // `history` holds the readings not marked; `all` and `marks` every reading and its marks.
  Chart(const History& history, const std::vector<HourValues>& all, const std::vector<std::uint8_t>& marks)
      : history_(history), all_(all), marks_(marks) {
    first_ = history.hours.front().hour;
    last_ = history.hours.back().hour;
    perHour_ = kPlotWidth / static_cast<double>(last_ - first_ + 1);
    thinned_ = history.hours.size() > kMostPointsShown;
    bucketHours_ = thinned_ ? (last_ - first_ + 1 + kBuckets - 1) / kBuckets : 1;
    // Dots as large as their spacing leaves room for.
    radius_ = std::clamp(perHour_ * static_cast<double>(bucketHours_) * 0.4, 1.5, 2.5);

    double lo = INFINITY, hi = -INFINITY, rain = 0;
    for (const HourValues& h : history.hours) {
      if (!std::isnan(h.temperature)) lo = std::min(lo, h.temperature), hi = std::max(hi, h.temperature);
      if (!std::isnan(h.precipitation)) rain = std::max(rain, h.precipitation);
    }
    if (lo > hi) lo = 0, hi = 30;
    // Grid lines every 5 degrees, or 10, 20, ...: at most 12 of them.
    while ((hi - lo) / tempStep_ > 12) tempStep_ *= 2;
    tempLow_ = std::floor(lo / tempStep_) * tempStep_;
    tempHigh_ = std::max(std::ceil(hi / tempStep_) * tempStep_, tempLow_ + tempStep_);
    if (!(tempHigh_ > tempLow_)) tempLow_ = 0, tempHigh_ = 30, tempStep_ = 5;  // beyond a double's precision
    rainHigh_ = niceCeiling(std::max(rain, 1.0));
  }

  bool thinned() const { return thinned_; }

  std::string svg() {
    const double w = kChartWidth, h = kTop + kPlotHeight + kBottom;
    out_ = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + px(w) + "\" height=\"" + px(h) + "\" viewBox=\"0 0 " +
           px(w) + " " + px(h) + "\" font-size=\"11\">\n";
    valueAxes();
    gaps();
    timeAxis();
    bars(kPrecipitation);
    line(kHumidity);
    line(kTemperature);
    marked();
    legend();
    out_ += "</svg>\n";
    return std::move(out_);
  }

 private:
  double x(HourIndex hour) const { return kLeft + (static_cast<double>(hour - first_) + 0.5) * perHour_; }
  double y(double fraction) const { return kTop + kPlotHeight * (1 - fraction); }
  double yTemperature(double v) const { return y((v - tempLow_) / (tempHigh_ - tempLow_)); }
  double yHumidity(double v) const { return y(v / 100); }
  double yRain(double v) const { return y(v / rainHigh_); }
  double yOf(const Series& s, double v) const {
    return &s == &kTemperature ? yTemperature(v) : &s == &kHumidity ? yHumidity(v) : yRain(v);
  }

  void text(double tx, double ty, const std::string& what, const char* anchor = "middle", const char* extra = "") {
    out_ += "<text x=\"" + px(tx) + "\" y=\"" + px(ty) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" + what +
            "</text>\n";
  }
  void segment(double x1, double y1, double x2, double y2, const char* style) {
    out_ += "<line x1=\"" + px(x1) + "\" y1=\"" + px(y1) + "\" x2=\"" + px(x2) + "\" y2=\"" + px(y2) + "\" " + style +
            "/>\n";
  }

  void valueAxes() {
    const double right = kLeft + kPlotWidth;
    out_ += "<rect x=\"" + px(kLeft) + "\" y=\"" + px(kTop) + "\" width=\"" + px(kPlotWidth) + "\" height=\"" +
            px(kPlotHeight) + "\" fill=\"none\" stroke=\"#888\"/>\n";
    for (int k = 0; k <= 13; ++k) {
      const double v = tempLow_ + k * tempStep_;
      if (v > tempHigh_) break;
      segment(kLeft, yTemperature(v), right, yTemperature(v), "stroke=\"#eee\"");
      text(kLeft - 6, yTemperature(v) + 4, number(v), "end");
    }
    text(kLeft - 6, kTop - 10, "°C", "end", " fill=\"#d62728\"");
    for (int v = 0; v <= 100; v += 20) text(right + 6, yHumidity(v) + 4, number(v), "start");
    text(right + 6, kTop - 10, "%", "start", " fill=\"#1f77b4\"");
    for (const double v : {0.0, rainHigh_ / 2, rainHigh_})
      text(right + kRightAxis + 6, yRain(v) + 4, number(v), "start");
    text(right + kRightAxis + 6, kTop - 10, "mm", "start", " fill=\"#2ca02c\"");
  }

  // Hours on the first line under the plot; day boundaries, or month
  // boundaries where days are too narrow, on the second.
  void timeAxis() {
    const double bottom = kTop + kPlotHeight;
    const HourIndex dayFirst = floorDiv(first_ - 1, 24) + 1;  // first midnight in the span
    for (const int step : {1, 2, 3, 6, 12}) {
      if (step * perHour_ < 36) continue;
      for (HourIndex hour = floorDiv(first_ + step - 1, step) * step; hour <= last_; hour += step) {
        segment(x(hour), bottom, x(hour), bottom + 4, "stroke=\"#888\"");
        char label[16];
        std::snprintf(label, sizeof label, "%02d时", civilHour(hour).hour);
        text(x(hour), bottom + 16, label);
      }
      break;
    }
    const double dayWidth = 24 * perHour_;
    if (dayWidth >= 4) {
      int every = 28;
      for (const int n : {1, 2, 7, 14})
        if (n * dayWidth >= 72) {
          every = n;
          break;
        }
      // The first label, and the first of each new year, name the year; a
      // label that would run into the one before it is left out.
      int labelledYear = 0;
      double labelEnd = -INFINITY;
      for (HourIndex d = dayFirst; d * 24 <= last_; ++d) {
        const double bx = x(d * 24) - perHour_ / 2;
        segment(bx, kTop, bx, bottom + 36, "stroke=\"#bbb\" stroke-dasharray=\"3,3\"");
        if (d % every != 0 || bx < labelEnd) continue;
        const CivilHour c = civilHour(d * 24);
        const std::string year = c.year != labelledYear ? std::to_string(c.year) + "年" : "";
        const std::string label = year + std::to_string(c.month) + "月" + std::to_string(c.day) + "日";
        labelledYear = c.year;
        text(bx + 3, bottom + 34, label, "start");
        labelEnd = bx + 3 + textWidth(label) + 4;
      }
      return;
    }
    // Month boundaries: a label every `every` months, a line at each month
    // where they stand 4 pixels apart, else only at the labels.
    const double monthWidth = 730 * perHour_;
    int every = 12000;
    for (const int n : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000})
      if (n * monthWidth >= 80) {
        every = n;
        break;
      }
    const int lineEvery = monthWidth >= 4 ? 1 : every;
    const CivilHour start = civilHour(first_);
    for (int month = start.year * 12 + start.month - 1;; ++month) {
      namespace c = std::chrono;
      const int year = month / 12, m = month % 12 + 1;
      const c::year_month_day monthStart{c::year{year}, c::month{static_cast<unsigned>(m)}, c::day{1}};
      const HourIndex boundary = HourIndex{c::sys_days{monthStart}.time_since_epoch().count()} * 24;
      if (boundary > last_) break;
      if (boundary < first_ || month % lineEvery != 0) continue;
      const double bx = x(boundary) - perHour_ / 2;
      segment(bx, kTop, bx, bottom + 36, "stroke=\"#bbb\" stroke-dasharray=\"3,3\"");
      if (month % every == 0) text(bx + 3, bottom + 34, std::to_string(year) + "年" + std::to_string(m) + "月", "start");
    }
  }

  std::string title(const Series& s, const Point& p) const {
    return "<title>" + hourText(p.hour) + " " + s.name + " " + number(p.value) + " " + s.unit + "</title>";
  }

  // Points of neighbouring buckets are joined; a bucket without a value is
  // a gap in the line.
  void line(const Series& s) {
    const std::vector<Point> points = shownPoints(history_, s.field, first_, bucketHours_, false);
    out_ += "<g fill=\"none\" stroke=\"" + std::string(s.colour) + "\" stroke-width=\"1.5\">\n";
    for (std::size_t i = 0; i < points.size();) {
      std::size_t j = i + 1;
      while (j < points.size() && points[j].bucket - points[j - 1].bucket <= 1) ++j;
      if (j - i > 1) {
        out_ += "<polyline points=\"";
        for (std::size_t k = i; k < j; ++k)
          out_ += (k > i ? " " : "") + px(x(points[k].hour)) + "," + px(yOf(s, points[k].value));
        out_ += "\"/>\n";
      }
      i = j;
    }
    out_ += "</g>\n<g fill=\"" + std::string(s.colour) + "\">\n";
    for (const Point& p : points)
      out_ += "<circle cx=\"" + px(x(p.hour)) + "\" cy=\"" + px(yOf(s, p.value)) + "\" r=\"" + px(radius_) + "\">" +
              title(s, p) + "</circle>\n";
    out_ += "</g>\n";
  }

  // The hours no record holds, shaded across the plot; a gap narrower
  // than a pixel is not drawn.
  void gaps() {
    out_ += "<g fill=\"#999\" fill-opacity=\"0.25\">\n";
    exporting::forEachGap(history_.hours, [this](const exporting::Gap& g) {
      if (static_cast<double>(g.hours) * perHour_ < 1) return;
      const double left = x(g.start) - perHour_ / 2;
      out_ += "<rect class=\"gap\" x=\"" + px(left) + "\" y=\"" + px(kTop) + "\" width=\"" +
              px(static_cast<double>(g.hours) * perHour_) + "\" height=\"" + px(kPlotHeight) + "\"><title>缺测 " +
              hourText(g.start) + "起 " + std::to_string(g.hours) + " 小时</title></rect>\n";
    });
    out_ += "</g>\n";
  }

  void bars(const Series& s) {
    const double barWidth = std::max(perHour_ * static_cast<double>(bucketHours_) * 0.8, 1.0);
    out_ += "<g fill=\"" + std::string(s.colour) + "\" fill-opacity=\"0.6\">\n";
    for (const Point& p : shownPoints(history_, s.field, first_, bucketHours_, true)) {
      if (p.value <= 0) continue;
      const double top = yRain(std::min(p.value, rainHigh_));
      out_ += "<rect x=\"" + px(x(p.hour) - barWidth / 2) + "\" y=\"" + px(top) + "\" width=\"" + px(barWidth) +
              "\" height=\"" + px(kTop + kPlotHeight - top) + "\">" + title(s, p) + "</rect>\n";
    }
    out_ += "</g>\n";
  }

  // Marked readings: hollow black diamonds, at the edge of the plot where
  // the value lies beyond it, each titled with its value and its marks.
  void marked() {
    out_ += "<g fill=\"#fff\" stroke=\"#000\" stroke-width=\"1.5\">\n";
    for (std::size_t i = 0; i < all_.size(); ++i) {
      if (!marks_[i]) continue;
      const HourValues& h = all_[i];
      const std::string why = quality::markText(marks_[i]);
      for (const Series* s : {&kTemperature, &kHumidity, &kPrecipitation}) {
        const unsigned own = s == &kTemperature ? quality::kTemperatureMarks
                             : s == &kHumidity  ? unsigned{quality::kHumidityRange}
                                                : unsigned{quality::kPrecipitationRange};
        if (!(marks_[i] & own)) continue;
        const double v = h.*(s->field);
        const double cx = x(h.hour), cy = std::clamp(yOf(*s, v), kTop, kTop + kPlotHeight);
        out_ += "<path class=\"marked\" d=\"M" + px(cx) + "," + px(cy - 5) + "l5,5l-5,5l-5,-5z\"><title>" +
                hourText(h.hour) + " " + s->name + " " + number(v) + " " + s->unit + " " + why + "</title></path>\n";
      }
    }
    out_ += "</g>\n";
  }

  void legend() {
    double lx = kLeft;
    for (const Series* s : {&kTemperature, &kHumidity, &kPrecipitation}) {
      out_ += "<rect x=\"" + px(lx) + "\" y=\"14\" width=\"14\" height=\"10\" fill=\"" + s->colour + "\"/>\n";
      text(lx + 18, 23, std::string(s->name) + " (" + s->unit + ")", "start");
      lx += 100;
    }
  }

  const History& history_;
  const std::vector<HourValues>& all_;
  const std::vector<std::uint8_t>& marks_;
  HourIndex first_ = 0, last_ = 0, bucketHours_ = 1;
  double perHour_ = 0, radius_ = 2.5;
  bool thinned_ = false;
  double tempLow_ = 0, tempHigh_ = 0, tempStep_ = 5, rainHigh_ = 1;
  std::string out_;
};

std::string twoDigits(int n) { return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)}; }

// The days under the plot: their precipitation as bars, oldest left, and a
// table of them, newest first.
std::string daysSection(const std::vector<quality::Day>& days) {
  std::string out = "<h2>逐日</h2>\n";
  double most = 1;
  for (const quality::Day& d : days)
    if (!std::isnan(d.precipitation)) most = std::max(most, d.precipitation);
  most = niceCeiling(most);
  const double height = 120, top = 16, per = kPlotWidth / static_cast<double>(std::max<std::size_t>(days.size(), 1));
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"daily-rain\" width=\"" + px(kChartWidth) + "\" height=\"" +
         px(height + top + 8) + "\" font-size=\"11\">\n<rect class=\"frame\" x=\"" + px(kLeft) + "\" y=\"" + px(top) + "\" width=\"" +
         px(kPlotWidth) + "\" height=\"" + px(height) + "\" fill=\"none\" stroke=\"#888\"/>\n<text x=\"" +
         px(kLeft - 6) + "\" y=\"" + px(top + 4) + "\" text-anchor=\"end\">" + number(most) + "</text>\n<text x=\"" +
         px(kLeft - 6) + "\" y=\"" + px(top + height) + "\" text-anchor=\"end\">0</text>\n<text x=\"" + px(kLeft) +
         "\" y=\"11\" fill=\"#2ca02c\">日降水量 (mm)</text>\n<g fill=\"#2ca02c\" fill-opacity=\"0.7\">\n";
  for (std::size_t k = 0; k < days.size(); ++k) {
    const quality::Day& d = days[k];
    if (std::isnan(d.precipitation) || d.precipitation <= 0) continue;
    const double h = height * d.precipitation / most;
    out += "<rect class=\"day-rain\" x=\"" + px(kLeft + per * (static_cast<double>(k) + 0.1)) + "\" y=\"" + px(top + height - h) +
           "\" width=\"" + px(std::max(per * 0.8, 0.5)) + "\" height=\"" + px(h) + "\"><title>" +
           hourText(d.day * 24).substr(0, 10) + " 降水 " + quality::oneDecimal(d.precipitation) + " mm</title></rect>\n";
  }
  out += "</g>\n</svg>\n";
  out += "<table class=\"days\">\n<tr><th>日期</th><th>最高气温 (°C)</th><th>时刻</th><th>最低气温 (°C)</th><th>时刻</th>"
         "<th>平均气温 (°C)</th><th>降水量 (mm)</th><th>平均湿度 (%)</th><th>记录小时数</th><th>可疑</th></tr>\n";
  for (auto d = days.rbegin(); d != days.rend(); ++d) {
    const bool extremes = !std::isnan(d->highest);
    const auto clock = [](HourIndex hour) { return twoDigits(civilHour(hour).hour) + "时"; };
    out += std::string(d->hours < quality::kFullDay ? "<tr class=\"short\">" : "<tr>") + "<td>" +
           hourText(d->day * 24).substr(0, 10) + "</td><td>" + quality::readingText(d->highest) + "</td><td>" +
           (extremes ? clock(d->highestHour) : "") + "</td><td>" + quality::readingText(d->lowest) + "</td><td>" +
           (extremes ? clock(d->lowestHour) : "") + "</td><td>" + quality::oneDecimal(d->meanTemperature) +
           "</td><td>" + quality::oneDecimal(d->precipitation) + "</td><td>" + quality::oneDecimal(d->meanHumidity) +
           "</td><td>" + std::to_string(d->hours) + "</td><td>" + (d->marked ? std::to_string(d->marked) : "") +
           "</td></tr>\n";
  }
  out += "</table>\n<p>记录不足 " + std::to_string(quality::kFullDay) + " 小时的日子（灰色）不计平均和合计。</p>\n";
  return out;
}

}  // namespace

std::string escapedText(std::u16string_view text) { return escaped(text); }

std::string relativeAddress(std::string_view fileName) {
  std::string out;
  for (const char c : fileName) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += c;
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::string pagePath(const std::string& programFolder, std::u16string_view place) {
  return datafile::folder(programFolder) + pathSeparator() + fileNameBytes(place) + "-WeatherData.html";
}

std::string pageText(std::u16string_view place, const History& history) {
  const std::string name = escaped(place);
  const std::string coverage = exporting::coverageText(exporting::coverageOf(history.hours));
  const std::vector<std::uint8_t> marks = quality::marksOf(history.hours);
  History shown;
  shown.hours = history.hours;
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (marks[i] & quality::kTemperatureMarks) shown.hours[i].temperature = NAN;
    if (marks[i] & quality::kHumidityRange) shown.hours[i].humidity = NAN;
    if (marks[i] & quality::kPrecipitationRange) shown.hours[i].precipitation = NAN;
  }
  Chart chart(shown, history.hours, marks);
  std::string page =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"zh-CN\">\n<head>\n"
      "<meta charset=\"utf-8\"/>\n<title>" +
      name +
      " 天气记录</title>\n"
      "<style>body { font-family: sans-serif; margin: 16px; } svg { display: block; max-width: 100%; height: auto; }"
      " p { margin: 4px 0; } table.days { border-collapse: collapse; margin-top: 8px; }"
      " table.days td, table.days th { border: 1px solid #ccc; padding: 2px 8px; text-align: right; }"
      " tr.short td { color: #888; }</style>\n"
      "</head>\n<body>\n<h1>" +
      name + "</h1>\n<p class=\"coverage\">" + escaped(fromUtf8(coverage)) + "</p>\n" + chart.svg();
  const HourIndex first = history.hours.front().hour, last = history.hours.back().hour;
  page += "<p>时段：" + hourText(first) + " 至 " + hourText(last) + "</p>\n";
  page += "<p>记录 " + std::to_string(history.records) + " 条，共 " + std::to_string(history.hours.size()) +
          " 个小时；最后观测时间：" + hourText(history.lastObservation) + "</p>\n";
  page += "<p>无法读取而跳过的行：" + std::to_string(history.skippedLines) +
          "；不是数字而当作缺测的值：" + std::to_string(history.nonNumbers) + "</p>\n";
  if (chart.thinned())
    page += "<p>小时数多于 " + std::to_string(kMostPointsShown) + "，图中每一小段只画出最低和最高的值。</p>\n";
  const long long markedHours = std::count_if(marks.begin(), marks.end(), [](std::uint8_t m) { return m != 0; });
  page += "<p class=\"marked\">可疑的读数（图中空心菱形，不计入平均、极值和合计）：" + std::to_string(markedHours) +
          " 个小时</p>\n";
  page += daysSection(quality::daysOf(history.hours, marks));
  page += "</body>\n</html>\n";
  return page;
}

std::string writePage(const std::string& programFolder, std::u16string_view place) {
  if (place.empty() || place.find_first_of(u"/\\") != std::u16string_view::npos)
    throw Failure("“" + toUtf8(place) + "” 不是地名：地名不能为空，也不能含有 / 或 \\");
  const std::string data = datafile::path(programFolder, place);
  const std::string none = toUtf8(place) + " 还没有记录";
  const std::optional<std::string> bytes = placeBytes(programFolder, place);
  if (!bytes) throw Failure(none);
  const History history = readHistoryBytes(*bytes);
  if (history.hours.empty()) {
    if (history.skippedLines == 0) throw Failure(none);
    throw Failure(none + "：数据文件 " + data + " 中的 " + std::to_string(history.skippedLines) + " 行都无法读取");
  }
  const std::string page = pagePath(programFolder, place);
  replaceFile(page, pageText(place, history));
  return page;
}

}  // namespace vantoril::chart
