#!/bin/bash
# A place made, shown and deleted through the real buttons and input boxes.
. "$(dirname "$0")/lib.sh"

PLACE="广州"
ADDRESS="http://www.weather.com.cn/weather1d/101280101.shtml"
LIST_AREA=(11 27 219 46)
LIST_ROW0=(11 27 219 16)
TEXT14_AREA=(244 28 769 41)
TEXT15_AREA=(28 244 217 33)

start_x
make_program_folder  # no catalogue folder yet: New makes it
start_program
catalogue="$PROGRAM_FOLDER/WebSite"

# Cancel in the first input box makes nothing.
click_twips 1680 120 855 255
wait_box 'Add location' 10 >/dev/null || fail "New did not ask for a place name"
xdotool key Escape
wait_gone 'Add location' 10 || fail "the input box did not close on Escape"
sleep 0.5
[ -z "$(ls -A "$catalogue" 2>/dev/null)" ] || fail "Cancel still made a catalogue file: $(ls "$catalogue")"

# A name, then Cancel in the address box: no place is made either.
click_twips 1680 120 855 255
wait_box 'Add location' 10 >/dev/null || fail "New did not ask for a place name"
type_text "$PLACE"
xdotool key Return
wait_box '添加天气网址' 10 >/dev/null || fail "New did not ask for the address"
xdotool key Escape
wait_gone '添加天气网址' 10 || fail "the address box did not close on Escape"
sleep 0.5
[ -z "$(ls -A "$catalogue" 2>/dev/null)" ] || fail "Cancel in the address box still made a place: $(ls "$catalogue")"

# New: name, then address; each box is confirmed with Enter.
click_twips 1680 120 855 255
dialog=$(wait_box 'Add location' 10) || fail "New did not ask for a place name"
type_text "$PLACE"
sleep 0.3
screenshot catalogue-name-box "$dialog" >/dev/null
xdotool key Return
wait_box '添加天气网址' 10 >/dev/null || fail "New did not ask for the address"
type_text "$ADDRESS"
xdotool key Return

file="$catalogue/$PLACE.txt"
wait_until 10 test -f "$file" || fail "no catalogue file $PLACE.txt; the folder holds: $(ls -A "$catalogue" 2>&1)"
expected=$(printf '%s\r\n' "$ADDRESS" | od -An -tx1)
actual=$(od -An -tx1 <"$file")
[ "$actual" = "$expected" ] || fail "the catalogue file holds$actual instead of$expected"

# The window may repaint a moment after the file is there.
listed() { shot=$(screenshot catalogue-created) && dark=$(dark_pixels "$shot" "${LIST_ROW0[@]}") && [ "$dark" -gt 20 ]; }
wait_until 10 listed || fail "the new place is not in the list ($dark dark pixels in its row)"
[ "$(dark_pixels "$shot" "${TEXT14_AREA[@]}")" -eq 0 ] || fail "an address is shown before any place is selected"

# A click on the row shows the place name in Text15 and its address in Text14;
# the top left of the row, beneath the caption "地名：", takes the click too.
pointer 20 32 click 1
shown() {
  shot=$(screenshot catalogue-selected) && red=$(red_pixels "$shot" "${TEXT15_AREA[@]}") &&
    dark=$(dark_pixels "$shot" "${TEXT14_AREA[@]}") && [ "$red" -gt 30 ] && [ "$dark" -gt 50 ]
}
wait_until 10 shown || true
[ "$red" -gt 30 ] || fail "the selected place's name is not shown in Text15 ($red dark red pixels)"
[ "$dark" -gt 50 ] || fail "the selected place's address is not shown in Text14 ($dark dark pixels)"

# Delete removes the selected place's file and its row.
click_twips 2520 120 855 255
wait_until 10 test ! -e "$file" || fail "Delete left $PLACE.txt in place"
unlisted() { shot=$(screenshot catalogue-deleted) && dark=$(dark_pixels "$shot" "${LIST_AREA[@]}") && [ "$dark" -eq 0 ]; }
wait_until 10 unlisted || fail "the deleted place is still listed ($dark dark pixels)"
# The list follows the folder while the window is open: places added by
# `vantoril --add` are listed without a touch of the window, and the
# selected place stays selected when a place is listed above it.
add_place() {
  (cd / && "$PROGRAM_FOLDER/vantoril" --add "$1" >"$WORK/add.log" 2>&1) || fail "--add $1 failed: $(cat "$WORK/add.log")"
}
add_place 101280101  # 广州
wait_until 10 listed || fail "the place added by --add is not listed ($dark dark pixels in its row)"
pointer 20 32 click 1
wait_until 10 shown || fail "the added place cannot be selected"
# The rows' middles (a row is 13 pixels high).
MIDDLE_ROW0=(11 29 219 8)
MIDDLE_ROW1=(11 43 219 8)
highlight() {  # pixels of the selection's colour in a list row of a screenshot
  convert "$1" -crop "$4x$5+$2+$3" +repage "$WORK/row.png" && blue_pixels "$WORK/row.png"
}
add_place 101010100  # 北京, listed before 广州
moved() {
  shot=$(screenshot catalogue-followed) && [ "$(highlight "$shot" "${MIDDLE_ROW1[@]}")" -gt 1000 ] &&
    [ "$(highlight "$shot" "${MIDDLE_ROW0[@]}")" -lt 20 ] && [ "$(dark_pixels "$shot" "${MIDDLE_ROW0[@]}")" -gt 20 ]
}
wait_until 10 moved || fail "北京 is not listed above the selected 广州 (see $shot)"
grep -q . "$WORK/program.log" && echo "program output: $(cat "$WORK/program.log")"

echo "PASS: $TEST_NAME"
