#!/bin/bash
# The chart page of a place: written by --chart without a window, and opened
# from the list's menu (right button, Shift+F10, the Menu key) through a
# stand-in xdg-open that writes down what it was asked to open.
. "$(dirname "$0")/lib.sh"

PLACE="上海"  # sorts before 北京: the first row of the list
TEXT14_AREA=(244 28 769 41)

make_program_folder "$PLACE=http://www.weather.com.cn/weather1d/101020100.shtml" \
  "北京=http://www.weather.com.cn/weather1d/101010100.shtml"
page="$PROGRAM_FOLDER/WeatherData/$PLACE-WeatherData.html"
# Two records an hour apart, GBK with CR LF: 26 hours.
mkdir "$PROGRAM_FOLDER/WeatherData"
python3 - "$PROGRAM_FOLDER/WeatherData/$PLACE-WeatherData.xls" <<'PY' || fail "cannot write the data file"
import sys
lines = ["天气数据文件"]
for n, time in enumerate(["2015061914", "2015061915"]):
    lines += ["数据记录时间:" + time, "整点\t气温\t降水\t湿度"]
    lines += [f"{(n + r + 14) % 24:02d}\t{20 + r}\t0\t{50 + r}" for r in range(25)] + [""]
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n").encode("gbk"))
PY

# Without a window.
out=$("$PROGRAM_FOLDER/vantoril" --chart 北京 2>&1) && fail "--chart for a place without records succeeded: $out"
[ "$out" = "北京 还没有记录" ] || fail "--chart for a place without records said: $out"
[ ! -e "$PROGRAM_FOLDER/WeatherData/北京-WeatherData.html" ] || fail "a page was written for a place without records"
out=$("$PROGRAM_FOLDER/vantoril" --chart "$PLACE") || fail "--chart failed: $out"
[ "$out" = "$page" ] || fail "--chart printed '$out', not the page's path"
python3 - "$page" <<'PY' || fail "the page is not what it should be"
import sys, xml.etree.ElementTree as ET
svg = "{http://www.w3.org/2000/svg}"
root = ET.parse(sys.argv[1]).getroot()
titles = [c.find(svg + "title").text for c in root.iter(svg + "circle")]
assert len(titles) == 52, len(titles)
assert "2015-06-19 15时 气温 44 °C" in titles, titles[-3:]
assert not list(root.iter("{http://www.w3.org/1999/xhtml}script"))
PY
rm "$page"

# The window, with the stand-in opener first on PATH.
mkdir "$WORK/bin"
cat >"$WORK/bin/xdg-open" <<SH
#!/bin/sh
printf '%s\n' "\$1" >>"$WORK/opened"
SH
chmod +x "$WORK/bin/xdg-open"
export PATH="$WORK/bin:$PATH"
start_x
start_program

xdotool mousemove --window "$WINDOW" 60 34 click 3
sleep 1
screenshot chart-menu root >/dev/null  # the menu is a window of its own
xdotool mousemove_relative 30 12 click 1
timeout 10 bash -c "until [ -s '$WORK/opened' ]; do sleep 0.2; done" ||
  fail "the menu entry opened nothing; program output: $(cat "$WORK/program.log")"
[ "$(cat "$WORK/opened")" = "$page" ] || fail "the opener was asked for '$(cat "$WORK/opened")', not $page"
[ -f "$page" ] || fail "no page at $page"
sleep 0.5
shot=$(screenshot chart-opened)
dark=$(dark_pixels "$shot" "${TEXT14_AREA[@]}")
[ "$dark" -eq 0 ] || fail "the right click selected the place ($dark dark pixels in Text14)"

# A left click does what it did: the place is selected and its address shown.
xdotool mousemove --window "$WINDOW" 60 34 click 1
sleep 1
dark=$(dark_pixels "$(screenshot chart-left-click)" "${TEXT14_AREA[@]}")
[ "$dark" -gt 50 ] || fail "a left click no longer shows the place's address ($dark dark pixels)"
[ "$(wc -l <"$WORK/opened")" -eq 1 ] || fail "the opener was called again: $(cat "$WORK/opened")"

# The keyboard opens the same menu at the selected place (the list has the
# focus from the click): Shift+F10, then the Menu key, each followed by
# Down and Return, the menu's first entry, 查看图表.
for keys in shift+F10 Menu; do
  : >"$WORK/opened"
  xdotool key "$keys"
  sleep 1
  screenshot "chart-menu-$keys" root >/dev/null
  xdotool key Down Return
  timeout 10 bash -c "until [ -s '$WORK/opened' ]; do sleep 0.2; done" || fail "$keys opened no menu at the place"
  [ "$(cat "$WORK/opened")" = "$page" ] || fail "$keys: the opener was asked for '$(cat "$WORK/opened")'"
done
grep -q . "$WORK/program.log" && echo "program output: $(cat "$WORK/program.log")"

echo "PASS: $TEST_NAME"
