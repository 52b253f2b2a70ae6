#!/bin/bash
# A recording run that fails at one place, in the real window: a message
# box comes up (its screenshot is kept), nothing is written for the place,
# the run stops there, and once the box is closed the window takes clicks.
. "$(dirname "$0")/lib.sh"

GOOD="北京"
BAD="无此页"
page="$WORK/pages/beijing.html"
mkdir -p "$WORK/pages"
cp "$(dirname "$0")/../../demo/pages/beijing.html" "$page" || fail "no demo page"

start_x
make_program_folder "$GOOD=file://$page" "$BAD=file://$WORK/pages/missing.html"
start_program
data="$PROGRAM_FOLDER/WeatherData"

# Command1, the record button.
click_twips 240 4320 3495 1335
box=$(wait_box '^Vantoril v 1\.0$' 10 "$WINDOW") || fail "no message box after a failed run"
sleep 0.5
screenshot fault-message "$box" >/dev/null

[ ! -e "$data/$BAD-WeatherData.xls" ] || fail "a data file was written for the place that failed"
# The list, and so the run, takes the catalogue in name order: the place
# before the failing one is recorded.
[ -e "$data/$GOOD-WeatherData.xls" ] || fail "the place before the failing one was not recorded"
lines=$(grep -c $'\r$' "$data/$GOOD-WeatherData.xls")
[ "$lines" -eq 29 ] || fail "the place recorded before the failure has $lines lines instead of 29"

xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the message box did not close"
sleep 0.5

# The window is usable again: New asks for a name.
click_twips 1680 120 855 255
wait_box 'Add location' 10 >/dev/null || fail "the window took no click after the failed run"
xdotool key Escape
screenshot fault-after >/dev/null

echo "PASS: $TEST_NAME"
