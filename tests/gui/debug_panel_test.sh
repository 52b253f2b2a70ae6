#!/bin/bash
# The debug panel opens only while the access-code box holds the code alone,
# and a user's typing in the page box reaches its character counter.
. "$(dirname "$0")/lib.sh"

TEXT1_AREA=(8 96 1009 57)
TEXT5_AREA=(8 176 761 57)
LABEL5_NUMBER=(84 80 200 17)  # right of the caption "全文字符数："

# Succeeds when the area is plain window background, i.e. its box is hidden.
is_background() {
  local sd
  read -r _ sd < <(area_stats "$1" "$2" "$3" "$4" "$5")
  awk -v s="$sd" 'BEGIN { exit !(s < 0.01) }'
}

start_x
make_program_folder "Lhasa=http://www.weather.com.cn/weather1d/101140101.shtml"
start_program

shot=$(screenshot debug-closed)
is_background "$shot" "${TEXT1_AREA[@]}" || fail "Text1 is shown before the code is entered"

# Text13: replace the asterisks by the code.
click_twips 14280 0 975 375
xdotool key ctrl+a BackSpace
sleep 0.3
xdotool type "7"
sleep 0.7
shot=$(screenshot debug-open)
is_background "$shot" "${TEXT1_AREA[@]}" && fail "Text1 did not appear after the code was entered"
is_background "$shot" "${TEXT5_AREA[@]}" && fail "Text5 did not appear after the code was entered"

# One more character closes the panel; deleting it opens it again.
xdotool type "7"
sleep 0.7
shot=$(screenshot debug-closed-again)
is_background "$shot" "${TEXT1_AREA[@]}" || fail "Text1 stays shown with a second character after the code"
is_background "$shot" "${TEXT5_AREA[@]}" || fail "Text5 stays shown with a second character after the code"
xdotool key BackSpace
sleep 0.7
shot=$(screenshot debug-reopened)
is_background "$shot" "${TEXT1_AREA[@]}" && fail "Text1 did not come back when the extra character was deleted"

# Typing in the page box updates its counter label.
[ "$(dark_pixels "$shot" "${LABEL5_NUMBER[@]}")" -eq 0 ] || fail "Label5 shows a count before Text1 changed"
pointer 100 120 click 1
sleep 0.3
xdotool type "abc"
sleep 0.7
shot=$(screenshot debug-counted)
dark=$(dark_pixels "$shot" "${LABEL5_NUMBER[@]}")
[ "$dark" -gt 5 ] || fail "Label5 shows no count after typing into Text1 ($dark dark pixels)"

echo "PASS: $TEST_NAME"
