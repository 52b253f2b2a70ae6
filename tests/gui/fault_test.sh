#!/bin/bash
# A recording run in which one place fails, in the real window: the run
# records the others, one message box at the end names the failed place (its
# screenshot is kept), nothing is written for it, and once the box is closed
# the window takes clicks. Then 40 places failing for one cause on an
# 800-pixel screen: the box names them all, wrapped, and fits the screen.
. "$(dirname "$0")/lib.sh"

# The list shows 北京, 无此页, 杭州: the failing place is the middle one.
GOOD="北京"
BAD="无此页"
AFTER="杭州"
page="$WORK/pages/beijing.html"
mkdir -p "$WORK/pages"
cp "$(dirname "$0")/../../demo/pages/beijing.html" "$page" || fail "no demo page"

start_x 1280x800
make_program_folder "$GOOD=file://$page" "$BAD=file://$WORK/pages/missing.html" "$AFTER=file://$page"
start_program
data="$PROGRAM_FOLDER/WeatherData"

# Command1, the record button.
click_twips 240 4320 3495 1335
box=$(wait_box '^Vantoril v 1\.0$' 10 "$WINDOW") || fail "no message box after a failed run"
sleep 0.5
screenshot fault-message "$box" >/dev/null

[ ! -e "$data/$BAD-WeatherData.xls" ] || fail "a data file was written for the place that failed"
for place in "$GOOD" "$AFTER"; do
  [ -e "$data/$place-WeatherData.xls" ] || fail "$place was not recorded"
  lines=$(grep -c $'\r$' "$data/$place-WeatherData.xls")
  [ "$lines" -eq 29 ] || fail "the record of $place has $lines lines instead of 29"
done

xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the message box did not close"
sleep 0.5

# The window is usable again: New asks for a name.
click_twips 1680 120 855 255
wait_box 'Add location' 10 >/dev/null || fail "the window took no click after the failed run"
xdotool key Escape
screenshot fault-after >/dev/null

stop_program
places=()
for ((i = 0; i < 40; i++)); do places+=("很远的第${i}号观测站=http://127.0.0.1:1/$i"); done
make_program_folder "${places[@]}"
start_program
click_twips 240 4320 3495 1335
box=$(wait_box '^Vantoril v 1\.0$' 60 "$WINDOW") || fail "no message box after 40 places failed"
sleep 0.5
screenshot fault-40-places "$box" >/dev/null
fits_on_screen "$box" 800 800 "the box of 40 places failing alike"
grep -q $'\t很远的第39号观测站\t错误：' "$PROGRAM_FOLDER/vantoril.log" || fail "the log does not name every place"
xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the box of 40 places did not close"

echo "PASS: $TEST_NAME"
