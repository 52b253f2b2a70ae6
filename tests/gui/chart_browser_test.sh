#!/bin/bash
# The chart page in a real browser (headless Chromium): a month of hourly
# data and a year of it (thinned) each fit a window 1,400 pixels wide with
# the scales on both sides of the plot in view, the plot is drawn, the
# browser reports nothing on its console, and the page holds a point with
# its values for every value the data file has.
. "$(dirname "$0")/lib.sh"

command -v chromium >/dev/null || fail "chromium is not installed"

make_program_folder 三月=http: 一整年=http: 'a<b>&"c'=http: 今年=http: 失败=http:
mkdir "$PROGRAM_FOLDER/WeatherData"
# Data files (GBK, CR LF) of records every 12 hours, overlapping by 13
# hours; every value is a function of its hour, so both records of an hour
# agree. Some values are missing, some are not numbers; it rains now and
# then. Prints, per place, the hours and what the page must show.
python3 - "$PROGRAM_FOLDER/WeatherData" >"$WORK/expected" <<'PY' || fail "cannot write the data files"
import sys
from datetime import datetime, timedelta

def values(h):  # h: hours since the first observation
    t = "" if h % 37 == 5 else "--" if h % 53 == 7 else f"{10 + (h % 24) / 2:g}"
    u = "" if h % 41 == 3 else str(40 + h % 50)
    p = "1.5" if h % 29 == 0 else "0"
    return t, p, u

for place, days in (("三月", 31), ("一整年", 366)):
    first = datetime(2016, 3, 1, 23)
    lines = ["天气数据文件"]
    hours = {}
    for k in range(days * 2):
        obs = first + timedelta(hours=12 * k)
        lines += ["数据记录时间:" + obs.strftime("%Y%m%d%H"), "整点\t气温\t降水\t湿度"]
        for r in range(25):
            at = obs - timedelta(hours=24 - r)
            h = int((at - first).total_seconds()) // 3600
            hours[at] = values(h)
            t, p, u = hours[at]
            lines.append(f"{at.hour:02d}\t{t}\t{p}\t{u}")
        lines.append("")
    path = f"{sys.argv[1]}/{place}-WeatherData.xls"
    open(path, "wb").write(("\r\n".join(lines) + "\r\n").encode("gbk"))
    def number(v):
        try:
            return float(v)
        except ValueError:
            return None
    temps = [(at, number(t)) for at, (t, p, u) in sorted(hours.items()) if number(t) is not None]
    humid = sum(number(u) is not None for t, p, u in hours.values())
    rain = sum(number(p) > 0 for t, p, u in hours.values())
    # The first hour of the highest and of the lowest temperature: shown
    # even where hours are thinned out.
    highest, lowest = max(temps, key=lambda x: x[1]), min(temps, key=lambda x: x[1])
    title = lambda at, v: f"{at:%Y-%m-%d %H}时 气温 {v:g} °C"
    print(place, len(hours), len(temps) + humid, rain, title(*highest), title(*lowest), sep="\t")
PY

# Chromium headless with a profile of its own; its log (with the page's
# console) goes to $WORK/chromium.log.
browser() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir="$WORK/profile" \
    --enable-logging=stderr --v=0 "$@" </dev/null 2>>"$WORK/chromium.log"
}
# Pixels of a colour (give or take shading) in an image, or in a part of it (x y w h).
colour_pixels() {
  local crop=()
  [ $# -gt 2 ] && crop=(-crop "$5x$6+$3+$4" +repage)
  convert "$1" "${crop[@]}" -alpha off -fuzz 25% -fill white +opaque "$2" -fill black -opaque "$2" \
    -colorspace Gray -format '%[fx:round((1-mean)*w*h)]' info:
}

while IFS=$'\t' read -r -u 3 place hours points bars highest lowest; do
  page=$("$PROGRAM_FOLDER/vantoril" --chart "$place") || fail "--chart $place failed: $page"
  url="file://$page"
  : >"$WORK/chromium.log"

  # The document as the browser built it: a dot with its values per value.
  browser --dump-dom "$url" >"$WORK/dom.html" || fail "chromium could not open the page of $place"
  python3 - "$WORK/dom.html" "$hours" "$points" "$bars" "$highest" "$lowest" <<'PY' || fail "the page of $place in the browser"
import sys
from html.parser import HTMLParser
dom, hours, points, bars, highest, lowest = sys.argv[1], *map(int, sys.argv[2:5]), *sys.argv[5:]
class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.open, self.circles, self.rects, self.titles, self.scripts = [], [], [], {}, 0
    def handle_starttag(self, tag, attrs):
        self.open.append(tag)
        if tag == "circle": self.circles.append(None)
        if tag == "rect": self.rects.append(None if dict(attrs).get("class") != "day-rain" else "")  # days apart
        if tag in ("script", "iframe", "img", "link"): self.scripts += 1
    def handle_endtag(self, tag):
        while self.open and self.open.pop() != tag: pass
    def handle_data(self, data):
        if self.open[-2:] == ["circle", "title"]: self.circles[-1] = data
        if self.open[-2:] == ["rect", "title"] and self.rects[-1] is None: self.rects[-1] = data
p = Page()
p.feed(open(dom, encoding="utf-8").read())
shown = [t for t in p.circles if t]
assert len(shown) == len(p.circles), "a dot without its values"
bar_titles = [t for t in p.rects if t]
assert p.scripts == 0, "the page loads or runs something"
if hours <= 2400:  # every hour shown
    assert len(p.circles) == points, (len(p.circles), points)
    assert len(bar_titles) == bars, (len(bar_titles), bars)
else:  # thinned: fewer dots, the extremes kept
    assert 0 < len(p.circles) < points and 0 < len(bar_titles) <= bars, (len(p.circles), len(bar_titles))
assert highest in shown, highest
assert lowest in shown, lowest
PY

  # In a window 1,400 wide: nothing beyond it (seen in a wider window), the
  # plot drawn, and the scales right of the plot in view.
  browser --window-size=2000,900 --screenshot="$WORK/wide.png" "$url" >/dev/null || fail "no wide screenshot"
  # (less the scroll bar at the right edge, now that the days make the page long)
  beyond=$(convert "$WORK/wide.png" -crop 580x900+1400+0 +repage -colorspace Gray -threshold 97% -negate \
    -format '%[fx:round(mean*w*h)]' info:)
  [ "$beyond" -eq 0 ] || fail "the page of $place is wider than 1,400 pixels ($beyond pixels beyond)"
  shot="$ARTEFACTS/chart-browser-$hours-hours.png"
  browser --window-size=1400,900 --screenshot="$shot" "$url" >/dev/null || fail "no screenshot"
  red=$(colour_pixels "$shot" '#d62728')
  blue=$(colour_pixels "$shot" '#1f77b4')
  [ "$red" -gt 1500 ] && [ "$blue" -gt 1500 ] ||
    fail "the plot of $place is blank ($red temperature and $blue humidity pixels; $shot)"
  # The rightmost temperature pixel is the plot's last hour; right of it
  # stand the humidity scale (%, blue) and the precipitation scale (mm, green).
  read -r w h x y < <(convert "$shot" -alpha off -fuzz 25% -fill white +opaque '#d62728' -format '%@' info: |
    tr 'x+' '  ')
  right=$((x + w + 2))
  [ "$right" -lt 1380 ] || fail "the plot of $place reaches the window's edge ($shot)"
  digits=$(dark_pixels "$shot" "$right" "$y" $((1400 - right)) "$h")
  percent=$(colour_pixels "$shot" '#1f77b4' "$right" 0 $((1400 - right)) "$((y + h))")
  mm=$(colour_pixels "$shot" '#2ca02c' "$right" 0 $((1400 - right)) "$((y + h))")
  [ "$digits" -gt 100 ] && [ "$percent" -gt 5 ] && [ "$mm" -gt 5 ] ||
    fail "the scales right of the plot of $place are not in view ($digits dark, $percent blue, $mm green pixels; $shot)"

  # The browser's own pages (chrome://…) log to the same console, for
  # example that the network is slow: only what our page says counts.
  if grep -a ':CONSOLE' "$WORK/chromium.log" | grep -av 'source: chrome://' >"$WORK/console"; then
    fail "the browser's console on the page of $place: $(cat "$WORK/console")"
  fi
done 3<"$WORK/expected"

# The overview, the page comparing places and the days under a chart, in
# the browser: 今年 recorded up to this hour with an odd reading, 失败
# recorded but failing since, a<b>&"c never recorded (its name as text).
python3 - "$PROGRAM_FOLDER" <<'PY' || fail "cannot write the recent data files"
import sys
from datetime import datetime, timedelta
now = datetime.utcnow().replace(minute=0, second=0, microsecond=0) + timedelta(hours=8)
for place, shift in (("今年", 0), ("失败", 30)):
    lines = ["天气数据文件"]
    for k in range(40):
        obs = now - timedelta(hours=12 * (39 - k) + shift)
        if 10 <= k < 14: continue  # two days without records
        lines += ["数据记录时间:" + obs.strftime("%Y%m%d%H"), "整点\t气温\t降水\t湿度"]
        for r in range(25):
            at = obs - timedelta(hours=24 - r)
            t = "999" if (place, k, r) == ("今年", 30, 5) else f"{5 + (at.hour % 24) / 2 + shift / 10:g}"
            lines.append(f"{at.hour:02d}\t{t}\t{1.5 if at.hour == 7 else 0}\t{50 + at.hour}")
        lines.append("")
    open(f"{sys.argv[1]}/WeatherData/{place}-WeatherData.xls", "wb").write(("\r\n".join(lines) + "\r\n").encode("gbk"))
stamp = (datetime.now() - timedelta(hours=5)).strftime("%Y-%m-%d %H:%M:%S")
open(f"{sys.argv[1]}/vantoril.log", "w").write(f"{stamp}\t失败\t错误：下载 http: 失败：HTTP 状态 404\n")
PY
"$PROGRAM_FOLDER/vantoril" --chart 今年 >/dev/null || fail "--chart 今年 failed"
compare=$("$PROGRAM_FOLDER/vantoril" --chart 今年 失败 三月) || fail "--chart of three places failed: $compare"
overview=$("$PROGRAM_FOLDER/vantoril" --overview) || fail "--overview failed: $overview"
[ "$overview" = "$PROGRAM_FOLDER/WeatherData/一览.html" ] || fail "--overview printed $overview"
for page in "$overview" "$compare" "$PROGRAM_FOLDER/WeatherData/今年-WeatherData.html"; do
  : >"$WORK/chromium.log"
  browser --dump-dom "file://$page" >"$WORK/dom.html" || fail "chromium could not open $page"
  python3 - "$WORK/dom.html" "$(basename "$page")" <<'PY' || fail "$page in the browser"
import sys
from html.parser import HTMLParser
dom, name = open(sys.argv[1], encoding="utf-8").read(), sys.argv[2]
class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.loads, self.cells, self.rows, self.open = [], 0, [], [], []
    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        a = dict(attrs)
        if tag in ("script", "iframe", "img", "link", "object", "embed") or "src" in a: self.loads += 1
        if "://" in a.get("href", ""): self.loads += 1
        if tag == "tr": self.rows.append([])
        if tag == "rect" and self.rows and a.get("class") in ("empty", "gap", "full"): self.rows[-1].append(a["class"])
        self.open.append(tag)
    def handle_endtag(self, tag):
        while self.open and self.open.pop() != tag: pass
    def handle_data(self, data):
        if self.open and self.open[-1] in ("td", "a", "span", "p"): self.cells.append(data)
p = Page()
p.feed(dom)
assert p.loads == 0, "the page loads something"
assert "b" not in p.tags, "a place's name became markup"
text = " ".join(p.cells)
if name == "一览.html":
    for words in ("三月", "一整年", 'a<b>&"c', "今年", "失败", "还没有记录", "起失败", "页面过时", "已记录"):
        assert words in text, words
    strips = [r for r in p.rows if r]
    assert len(strips) == 5 and all(len(r) == 30 for r in strips), [len(r) for r in strips]
    assert "gap" in strips[3] and "full" in strips[3], strips[3]  # 今年
elif name == "比较图表.html":
    assert "三月" in text and "今年" in text and "失败" in text, text
    assert p.tags.count("polyline") >= 6, p.tags.count("polyline")
else:
    assert p.tags.count("tr") > 15, "no days under the chart"
    assert 'path' in p.tags, "the odd reading is not drawn"
PY
  shot="$ARTEFACTS/browser-$(basename "$page" .html).png"
  browser --window-size=1400,900 --screenshot="$shot" "file://$page" >/dev/null || fail "no screenshot of $page"
  if grep -a ':CONSOLE' "$WORK/chromium.log" | grep -av 'source: chrome://' >"$WORK/console"; then
    fail "the browser's console on $page: $(cat "$WORK/console")"
  fi
done

echo "PASS: $TEST_NAME"
