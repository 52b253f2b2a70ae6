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

echo "PASS: $TEST_NAME"
