#!/bin/bash
# A recording run in which one place fails, in the real window: the run
# records the others, one message box at the end names the failed place (its
# screenshot is kept), nothing is written for it, and once the box is closed
# the window takes clicks.
. "$(dirname "$0")/lib.sh"

# The list shows 北京, 无此页, 杭州: the failing place is the middle one.
GOOD="北京"
BAD="无此页"
AFTER="杭州"
page="$WORK/pages/beijing.html"
mkdir -p "$WORK/pages"
cp "$(dirname "$0")/../../demo/pages/beijing.html" "$page" || fail "no demo page"

start_x
make_program_folder "$GOOD=file://$page" "$BAD=file://$WORK/pages/missing.html" "$AFTER=file://$page"
start_program
data="$PROGRAM_FOLDER/WeatherData"

# Command1, the record button.
click_twips 240 4320 3495 1335
box=""
for ((i = 0; i < 50; i++)); do
  box=$(xdotool search --onlyvisible --name '^Vantoril v 1\.0$' 2>/dev/null | grep -vx "$WINDOW" | head -n 1)
  [ -n "$box" ] && break
  sleep 0.2
done
[ -n "$box" ] || fail "no message box after a failed run"
sleep 0.5
screenshot fault-message "$box" >/dev/null

[ ! -e "$data/$BAD-WeatherData.xls" ] || fail "a data file was written for the place that failed"
for place in "$GOOD" "$AFTER"; do
  [ -e "$data/$place-WeatherData.xls" ] || fail "$place was not recorded"
  lines=$(grep -c $'\r$' "$data/$place-WeatherData.xls")
  [ "$lines" -eq 29 ] || fail "the record of $place has $lines lines instead of 29"
done

xdotool key --window "$box" Return 2>/dev/null || xdotool key Return
timeout 10 bash -c "while xdotool search --onlyvisible --name '^Vantoril v 1\.0$' | grep -vqx '$WINDOW'; do sleep 0.2; done" ||
  fail "the message box did not close"
sleep 0.5

# The window is usable again: New asks for a name.
click_twips 1680 120 855 255
dialog=$(wait_window 'Add location' 10)
[ -n "$dialog" ] || fail "the window took no click after the failed run"
xdotool key --window "$dialog" Escape 2>/dev/null || xdotool key Escape
screenshot fault-after >/dev/null

echo "PASS: $TEST_NAME"
