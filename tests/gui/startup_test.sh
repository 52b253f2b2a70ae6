#!/bin/bash
# The window as it opens: caption, the client area of the design beneath
# the menu bar, the catalogue in the list, and an empty list, showing where
# to start, when there is no catalogue. Then every command of the menu bar,
# by its access keys and by its shortcut.
. "$(dirname "$0")/lib.sh"

# List1 inside its frame, in window pixels.
LIST_AREA=(11 27 219 46)

start_x
make_program_folder "北京=http://www.weather.com.cn/weather1d/101010100.shtml" \
  "上海=http://www.weather.com.cn/weather1d/101020100.shtml" \
  "Lhasa=http://www.weather.com.cn/weather1d/101140101.shtml"
start_program

name=$(xdotool getwindowname "$WINDOW")
[ "$name" = "Vantoril v 1.0" ] || fail "window caption is '$name'"
shot=$(screenshot startup)
client_in_place qt
dark=$(dark_pixels "$shot" "${LIST_AREA[@]}")
[ "$dark" -gt 100 ] || fail "the list shows no places ($dark dark pixels in its area)"
# Three places fill three rows: the third row (from 2 + 2 * row height) has text too.
third=$(dark_pixels "$shot" 11 57 219 16)
[ "$third" -gt 20 ] || fail "the third place is not shown ($third dark pixels in its row)"

# Text1 and Text5 start hidden: their areas are plain window background.
read -r _ text1_sd < <(area_stats "$shot" 8 96 1009 57)
read -r _ text5_sd < <(area_stats "$shot" 8 176 761 57)
awk -v a="$text1_sd" -v b="$text5_sd" 'BEGIN { exit !(a < 0.01 && b < 0.01) }' ||
  fail "Text1 or Text5 is shown at start (spread $text1_sd, $text5_sd)"

# The window is not resizable: it asks the window manager for one size only.
hints=$(xprop -id "$WINDOW" WM_NORMAL_HINTS)
height=$((570 + MENU_HEIGHT))
grep -q "minimum size: 1022 by $height" <<<"$hints" && grep -q "maximum size: 1022 by $height" <<<"$hints" ||
  fail "the window's size hints allow resizing: $hints"
stop_program

# Without a catalogue folder the window opens with an empty list.
make_program_folder
start_program
shot=$(screenshot startup-empty)
dark=$(dark_pixels "$shot" "${LIST_AREA[@]}")
[ "$dark" -eq 0 ] || fail "the list shows text without a catalogue ($dark dark pixels)"
# Its grey hint where to start.
grey=$(convert "$shot" -crop 219x46+11+27 +repage -colorspace Gray -threshold 80% -negate -format '%[fx:round(mean*w*h)]' info:)
[ "$grey" -gt 100 ] || fail "the empty list shows no hint ($grey grey pixels)"
stop_program

# Every command of the menu bar, each by its access keys (Alt and the
# menu's, then the entry's) and the usual shortcuts, with 上海 selected:
# the window or box it opens (closed again with Escape), what it hands the
# opener (a stand-in xdg-open that writes it down), or the file it makes or
# deletes. Delete comes last.
data=$(cd "$(dirname "$0")/../data" && pwd)
make_program_folder "上海=file://$data/hangzhou-2014.html" "北京=file://$data/harbin-2016.html"
mkdir -p "$WORK/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$WORK/opened" >"$WORK/bin/xdg-open"
chmod +x "$WORK/bin/xdg-open"
PATH="$WORK/bin:$PATH" start_program
pointer 60 34 click 1  # 上海, the first row
xdotool key alt+p
sleep 1
screenshot qt-menu-bar-open root >/dev/null
xdotool key Escape Escape
# What the opener was last asked to open, its %XX undone.
last_opened() { tail -n 1 "$WORK/opened" 2>/dev/null | python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.stdin.read().strip()))'; }
while IFS='|' read -r keys expected; do
  : >"$WORK/opened"
  [[ $expected == made:* ]] && rm -f "$PROGRAM_FOLDER/${expected#made:}"
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW"
  pointer 60 34 click 1  # 上海 (New, say, empties the selection as it refreshes the list)
  sleep 0.3
  xdotool key $keys
  case $expected in
    window:*)
      box=$(wait_box "${expected#window:}" 20 "$WINDOW") || fail "$keys opened no window ${expected#window:}"
      sleep 0.3
      xdotool key Escape
      wait_gone "${expected#window:}" 10 "$WINDOW" || fail "the window $keys opened did not close" ;;
    opened:*)
      wait_until 10 test -s "$WORK/opened" || fail "$keys opened nothing"
      [[ "$(last_opened)" =~ ${expected#opened:} ]] || fail "$keys opened $(last_opened)" ;;
    made:*)
      wait_until 30 test -e "$PROGRAM_FOLDER/${expected#made:}" || fail "$keys made no ${expected#made:}"
      # What the run has to say of its old sample pages, if anything.
      box=$(wait_box '^Vantoril v 1\.0$' 3 "$WINDOW") && xdotool key Escape && wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" ;;
    gone:*) wait_until 10 test ! -e "$PROGRAM_FOLDER/${expected#gone:}" || fail "$keys left ${expected#gone:}" ;;
  esac
  sleep 0.3
done <<'CASES'
alt+p n|window:^添加地名
ctrl+n|window:^添加地名
alt+p a|window:^按名称添加地名$
ctrl+f|window:^按名称添加地名$
alt+p r|window:^重命名$
F2|window:^重命名$
alt+p u|opened:/WebSite/上海\.txt$
alt+p c|window:^Vantoril v 1\.0$
alt+p w|opened:hangzhou-2014\.html
alt+r s|made:WeatherData/北京-WeatherData.xls
F5|made:WeatherData/北京-WeatherData.xls
alt+r t|window:^定时记录$
alt+d c|opened:/WeatherData/上海-WeatherData\.html$
alt+d e|window:^导出数据$
alt+d p|window:^导出数据$
alt+d v|window:^Vantoril v 1\.0$
alt+d o|opened:/WeatherData/$
alt+h h|opened:.
F1|opened:.
alt+h a|window:^Vantoril v 1\.0$
alt+p d|gone:WebSite/上海.txt
CASES
stop_program

# No usable display: the program's own word, in Chinese, and exit code 1;
# never Qt's abort. No display at all, an X display nobody serves, and a
# Wayland display nobody serves.
while IFS='|' read -r display wayland said; do
  out=$(cd "$PROGRAM_FOLDER" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ${display:+DISPLAY=$display} \
    ${wayland:+WAYLAND_DISPLAY=$wayland} XDG_RUNTIME_DIR="$WORK" timeout 30 ./vantoril 2>&1)
  code=$?
  [ "$code" -eq 1 ] || fail "without a display (DISPLAY=$display WAYLAND_DISPLAY=$wayland) the exit code is $code: $out"
  for part in "无法打开窗口：没有可用的图形显示" "$said" "vantoril --record" "vantoril --help"; do
    grep -qF -- "$part" <<<"$out" || fail "without a display (DISPLAY=$display WAYLAND_DISPLAY=$wayland) it said: $out"
  done
  ! grep -q "Reinstalling" <<<"$out" || fail "Qt's own abort message without a display: $out"
done <<'CASES'
||DISPLAY 没有设置，WAYLAND_DISPLAY 没有设置
:987||DISPLAY=:987 连接不上
|vantoril-none|WAYLAND_DISPLAY=vantoril-none 连接不上
CASES

echo "PASS: $TEST_NAME"
