#!/bin/bash
# A place added by its name in the Windows program under wine inside Xvfb:
# the list's menu (right button, below the places), the search dialog,
# "xiaos" and Enter; the catalogue file is written and the place selected,
# and its address checked against a stand-in for the site (a loopback
# server as the HTTP proxy, which wine's WinHTTP takes from http_proxy).
#   tests/win32/place_search_test.sh PROGRAM ARTEFACTS BUILD
. "$(dirname "$0")/../gui/lib.sh"
. "$(dirname "$0")/lib.sh"
ADDRESS="http://www.weather.com.cn/weather1d/101210102.shtml"
TEXT15_AREA=(28 244 217 33)

# The site's page of 萧山, observed an hour ago (Beijing time), served as
# the proxy is asked for it.
site_page="$WORK/site/http:/www.weather.com.cn/weather1d/101210102.shtml"
mkdir -p "$(dirname "$site_page")"
python3 - "$ROOT/tests/data/harbin-2016.html" "$site_page" <<'PY' || fail "cannot write the site's page"
import datetime, sys
page = open(sys.argv[1], encoding="utf-8").read()
now = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(hours=7)
page = page.replace('"od0":"20160302080000"', '"od0":"%s"' % now.strftime("%Y%m%d%H0000"), 1)
page = page.replace('"od1":"哈尔滨"', '"od1":"萧山"', 1)
open(sys.argv[2], "w", encoding="utf-8").write(page)
PY
# Wine's WinHTTP names the port in what it asks the proxy for.
ln -s www.weather.com.cn "$WORK/site/http:/www.weather.com.cn:80"
coproc SITE { exec python3 "$ROOT/tests/tools/serve_folder.py" "$WORK/site"; }
read -r -t 10 port <&"${SITE[0]}" || fail "the stand-in site did not start"
trap 'kill $SITE_PID 2>/dev/null; cleanup' EXIT
export http_proxy="http://127.0.0.1:$port" no_proxy=

start_wine_x

PROGRAM_FOLDER=$WORK/program
mkdir -p "$PROGRAM_FOLDER/WebSite"
cp "$PROGRAM" "$PROGRAM_FOLDER/vantoril.exe"
printf 'http://127.0.0.1:9/none\r\n' >"$PROGRAM_FOLDER/WebSite/北京.txt"

(cd "$PROGRAM_FOLDER" && LC_ALL=zh_CN.UTF-8 exec wine vantoril.exe) >"$WORK/program.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vantoril v 1\.0$' | head -n 1)
[ -n "$WINDOW" ] || fail "the window did not appear; program output: $(cat "$WORK/program.log")"
measure_menu
sleep 1

# Below the one place the menu holds only the program's entries.
pointer 100 62 click 3
sleep 1
screenshot win32-place-search-menu >/dev/null
pointer 120 72 click 1
dialog=$(wait_shown '按名称添加地名' 20) || fail "the menu did not open the search dialog"

# The search box takes the keyboard after a click (and a Shift that only
# wakes it); typed again while the list shows nothing.
for try in 1 2 3; do
  xdotool mousemove --window "$dialog" 100 45 click 1
  sleep 0.5
  xdotool key shift End shift+Home BackSpace
  sleep 0.3
  xdotool type --delay 50 xiaos
  sleep 1
  shown=$(convert "$(screenshot win32-place-search-dialog "$dialog")" -crop 400x16+16+64 +repage -colorspace Gray \
    -threshold 75% -negate -format '%[fx:round(mean*w*h)]' info:)
  [ "$shown" -gt 30 ] && break
done
[ "$shown" -gt 30 ] || fail "the search dialog lists nothing for xiaos"
xdotool key Return

file=$PROGRAM_FOLDER/WebSite/萧山.txt
timeout 20 bash -c "until [ -f '$file' ]; do sleep 0.2; done"
[ -f "$file" ] || fail "no catalogue file 萧山.txt; the folder holds: $(ls "$PROGRAM_FOLDER/WebSite")"
cmp <(printf '%s\r\n' "$ADDRESS") "$file" || fail "the catalogue file of 萧山 holds $(od -c "$file")"

box=$(wait_shown '^Vantoril v 1\.0$' 30 "$WINDOW") || fail "no message box with the check's result"
sleep 0.5
shot=$(screenshot win32-place-search-checked "$box")
yellow=$(yellow_pixels "$shot")
blue=$(blue_pixels "$shot")
[ "$yellow" -lt 10 ] && [ "$blue" -gt 50 ] ||
  fail "the check's result is no information box ($yellow yellow, $blue blue pixels): the page was not fine"
xdotool key --window "$box" Return 2>/dev/null || true
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || { xdotool mousemove --window "$box" 100 10 key Return; wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW"; } ||
  fail "the message box did not close"
sleep 1
[ ! -e "$PROGRAM_FOLDER/WeatherData" ] || fail "the check wrote data: $(ls -A "$PROGRAM_FOLDER/WeatherData")"
shot=$(screenshot win32-place-search-added)
red=$(red_pixels "$shot" "${TEXT15_AREA[@]}")
[ "$red" -gt 30 ] || fail "the new place is not selected: no name in Text15 ($red dark red pixels)"
echo "PASS: $TEST_NAME"
