#!/bin/bash
# The chart page of a place: written by --chart without a window, and opened
# from the list's menu (right button, which selects the place first,
# Shift+F10, the Menu key) through a stand-in xdg-open that writes down what
# it was asked to open.
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

# The window, with the stand-in opener first on PATH; it ends with the exit
# status in $WORK/opener-status (0 when there is none). The program runs
# with no locale at all (LANG unset: the POSIX locale), where a path of
# Chinese characters handed over as it is reached the browser garbled.
mkdir "$WORK/bin"
cat >"$WORK/bin/xdg-open" <<SH
#!/bin/sh
printf '%s\n' "\$1" >>"$WORK/opened"
exit \$(cat "$WORK/opener-status" 2>/dev/null || echo 0)
SH
chmod +x "$WORK/bin/xdg-open"
export PATH="$WORK/bin:$PATH"
# The page's address as the opener must get it: file:// and the path with
# every byte outside [A-Za-z0-9/._~-] percent-encoded.
address=$(python3 -c 'import sys, urllib.parse; print("file://" + urllib.parse.quote(sys.argv[1]))' "$page")
start_x
unset LC_ALL LANG LANGUAGE
start_program

# What the list, the name and the address show (their pixels' signature).
shown_place() { convert "$1" -crop 1006x257+11+27 +repage -format '%#' info:; }
# With 北京 (the second row) selected, a right click on 上海 selects 上海,
# as a left click does (its name and address show), before its menu opens.
pointer 60 47 click 1
sleep 1
before=$(shown_place "$(screenshot chart-before)")
pointer 60 34 click 3
sleep 1
screenshot chart-menu root >/dev/null  # the menu is a window of its own
xdotool mousemove_relative 30 12 click 1
timeout 10 bash -c "until [ -s '$WORK/opened' ]; do sleep 0.2; done" ||
  fail "the menu entry opened nothing; program output: $(cat "$WORK/program.log")"
[ "$(cat "$WORK/opened")" = "$address" ] || fail "the opener was asked for '$(cat "$WORK/opened")', not $address"
[ -f "$page" ] || fail "no page at $page"
sleep 0.5
shot=$(screenshot chart-opened)
right=$(shown_place "$shot")
[ "$right" != "$before" ] || fail "the right click on 上海 left 北京 selected and shown"
dark=$(dark_pixels "$shot" "${TEXT14_AREA[@]}")
[ "$dark" -gt 50 ] || fail "the right click shows no address ($dark dark pixels in Text14)"

# A left click on 上海 shows the same.
pointer 60 34 click 1
sleep 1
[ "$(shown_place "$(screenshot chart-left-click)")" = "$right" ] ||
  fail "the right click showed other than a left click on 上海 (see chart-opened.png, chart-left-click.png)"
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
  [ "$(cat "$WORK/opened")" = "$address" ] || fail "$keys: the opener was asked for '$(cat "$WORK/opened")'"
done
# An opener that fails (as xdg-open does where the browser refuses to
# start): a message box says so, and the window goes on.
[ -z "$(shown_windows '^Vantoril v 1\.0$' | grep -vx "$WINDOW")" ] || fail "a message box came after a good opener"
echo 4 >"$WORK/opener-status"
pointer 60 34 click 3
sleep 1
xdotool mousemove_relative 30 12 click 1
box=$(wait_box '^Vantoril v 1\.0$' 10 "$WINDOW") || fail "no message box after the opener failed"
[ "$(wc -l <"$WORK/opened")" -eq 2 ] || fail "the opener was not called again: $(cat "$WORK/opened")"
sleep 0.5
screenshot chart-opener-failed "$box" >/dev/null
xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the message box did not close"
grep -q . "$WORK/program.log" && echo "program output: $(cat "$WORK/program.log")"

echo "PASS: $TEST_NAME"
