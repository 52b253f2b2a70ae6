#!/bin/bash
# While the record button waits for a page that drips in, the window keeps
# drawing: the place being fetched shows in Text15, and the window paints
# itself again after it was unmapped and mapped.
. "$(dirname "$0")/lib.sh"

# Text15 in window pixels.
TEXT15_AREA=(26 242 221 37)

page="$(dirname "$0")/../../demo/pages/beijing.html"
[ -f "$page" ] || fail "no demo page"

# A loopback server that sends the page in 40 pieces over about 6 s.
start_dripping_server "$page" 40 0.15
port=$PORT

start_x
make_program_folder "北京=http://127.0.0.1:$port/weather1d/101010100.shtml"
start_program
data="$PROGRAM_FOLDER/WeatherData/北京-WeatherData.xls"

shot=$(screenshot repaint-before)
[ "$(dark_pixels "$shot" "${TEXT15_AREA[@]}")" -eq 0 ] || fail "Text15 is not empty before the run"

# Command1, the record button.
click_twips 240 4320 3495 1335
sleep 1
[ ! -e "$data" ] || fail "the page came before the window could be looked at"
shot=$(screenshot repaint-waiting)
[ "$(dark_pixels "$shot" "${TEXT15_AREA[@]}")" -gt 50 ] || fail "the window did not draw the place while the page dripped"

# Hidden and shown again, the window paints itself again.
xdotool windowunmap --sync "$WINDOW"
xdotool windowmap --sync "$WINDOW"
sleep 0.5
[ ! -e "$data" ] || fail "the page came before the window could be looked at again"
shot=$(screenshot repaint-exposed)
[ "$(dark_pixels "$shot" "${TEXT15_AREA[@]}")" -gt 50 ] || fail "the window did not repaint after it was shown again"
read -r mean _ < <(area_stats "$shot" 0 0 1022 570)
awk -v m="$mean" 'BEGIN { exit !(m > 0.5) }' || fail "the window is dark after it was shown again (mean $mean)"

# The run ends with the record.
timeout 30 bash -c "until [ -e '$data' ]; do sleep 0.2; done" || fail "the place was not recorded"
sleep 0.5
[ "$(grep -c $'\r$' "$data")" -eq 29 ] || fail "the record is not whole"

echo "PASS: $TEST_NAME"
