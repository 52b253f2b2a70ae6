#!/bin/bash
# The window as it opens: caption, client size, the catalogue in the list,
# and an empty list when there is no catalogue.
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
size=$(xdotool getwindowgeometry "$WINDOW" | sed -n 's/^ *Geometry: //p')
[ "$size" = "1022x570" ] || fail "client area is $size, not 1022x570"

shot=$(screenshot startup)
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
grep -q 'minimum size: 1022 by 570' <<<"$hints" && grep -q 'maximum size: 1022 by 570' <<<"$hints" ||
  fail "the window's size hints allow resizing: $hints"
stop_program

# Without a catalogue folder the window opens with an empty list.
make_program_folder
start_program
shot=$(screenshot startup-empty)
dark=$(dark_pixels "$shot" "${LIST_AREA[@]}")
[ "$dark" -eq 0 ] || fail "the list shows text without a catalogue ($dark dark pixels)"
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
