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
# The list, and so the run, takes the catalogue in the order NTFS lists it:
# for these names, code point order.
first=$(ls -f "$PROGRAM_FOLDER/WebSite" | grep -v '^\.' | LC_ALL=C sort | head -n 1)
if [ "$first" = "$GOOD.txt" ]; then
  [ -e "$data/$GOOD-WeatherData.xls" ] || fail "the place before the failing one was not recorded"
  lines=$(grep -c $'\r$' "$data/$GOOD-WeatherData.xls")
  [ "$lines" -eq 29 ] || fail "the place recorded before the failure has $lines lines instead of 29"
else
  [ ! -e "$data/$GOOD-WeatherData.xls" ] || fail "the run went on past the place that failed"
fi

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
