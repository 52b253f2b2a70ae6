#!/bin/bash
# A place added by its name: the list's menu (right button, below the
# places), the search dialog, "xiaos" and Enter; the catalogue file is
# written, the place listed and selected, and its address checked against
# a stand-in for the site (a loopback server as the HTTP proxy).
. "$(dirname "$0")/lib.sh"

TEXT14_AREA=(244 28 769 41)
TEXT15_AREA=(28 244 217 33)
ADDRESS="http://www.weather.com.cn/weather1d/101210102.shtml"

# The site's page of 萧山, observed an hour ago (Beijing time). A request
# through the proxy names the whole address, which the folder server takes
# as the path "http:/www.weather.com.cn/…".
site_page="$WORK/site/http:/www.weather.com.cn/weather1d/101210102.shtml"
mkdir -p "$(dirname "$site_page")"
python3 - "$(dirname "$0")/../data/harbin-2016.html" "$site_page" <<'PY' ||
import datetime, sys
page = open(sys.argv[1], encoding="utf-8").read()
now = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(hours=7)
page = page.replace('"od0":"20160302080000"', '"od0":"%s"' % now.strftime("%Y%m%d%H0000"), 1)
page = page.replace('"od1":"哈尔滨"', '"od1":"萧山"', 1)
open(sys.argv[2], "w", encoding="utf-8").write(page)
PY
  fail "cannot write the site's page"
coproc SITE { exec python3 "$(dirname "$0")/../tools/serve_folder.py" "$WORK/site"; }
read -r -t 10 port <&"${SITE[0]}" || fail "the stand-in site did not start"
trap 'kill $SITE_PID 2>/dev/null; cleanup' EXIT
export http_proxy="http://127.0.0.1:$port" no_proxy=

start_x
make_program_folder "北京=http://127.0.0.1:9/none"
start_program

# Below the one place: the menu holds only the program's entries.
pointer 100 62 click 3
sleep 1
screenshot place-search-menu root >/dev/null
xdotool key Down Return
dialog=$(wait_box '按名称添加地名' 10 "$WINDOW") || fail "the menu did not open the search dialog"
type_text "xiaos"
sleep 0.5
screenshot place-search-dialog "$dialog" >/dev/null
xdotool key Return
wait_gone '按名称添加地名' 10 || fail "Enter did not close the search dialog"

box=$(wait_box '^Vantoril v 1\.0$' 30 "$WINDOW") || fail "no message box with the check's result"
shot=$(screenshot place-search-checked "$box")
yellow=$(yellow_pixels "$shot")
blue=$(blue_pixels "$shot")
[ "$yellow" -lt 10 ] && [ "$blue" -gt 50 ] ||
  fail "the check's result is no information box ($yellow yellow, $blue blue pixels): the page was not fine"
xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the message box did not close"
sleep 0.5

file="$PROGRAM_FOLDER/WebSite/萧山.txt"
[ -f "$file" ] || fail "no catalogue file 萧山.txt; the folder holds: $(ls -A "$PROGRAM_FOLDER/WebSite")"
expected=$(printf '%s\r\n' "$ADDRESS" | od -An -tx1)
actual=$(od -An -tx1 <"$file")
[ "$actual" = "$expected" ] || fail "the catalogue file holds$actual instead of$expected"
[ ! -e "$PROGRAM_FOLDER/WeatherData" ] || fail "the check wrote data: $(ls -A "$PROGRAM_FOLDER/WeatherData")"

shot=$(screenshot place-search-added)
red=$(red_pixels "$shot" "${TEXT15_AREA[@]}")
[ "$red" -gt 30 ] || fail "the new place is not selected: no name in Text15 ($red dark red pixels)"
dark=$(dark_pixels "$shot" "${TEXT14_AREA[@]}")
[ "$dark" -gt 50 ] || fail "the new place's address is not shown in Text14 ($dark dark pixels)"
grep -q . "$WORK/program.log" && echo "program output: $(cat "$WORK/program.log")"

echo "PASS: $TEST_NAME"
