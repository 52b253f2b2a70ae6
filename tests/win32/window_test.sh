#!/bin/bash
# The Windows program's own window under wine inside Xvfb: caption, the
# client area beneath the menu bar, screenshots, a recording run over three file:// places
# (one added while the window is open) started by the record button, the chart
# page from the list's menu (by the right button and by the keyboard), and a
# place made through the real input boxes (a Chinese name typed), then
# selected and deleted; the list following a place written into its folder,
# and Alt+F4 ending the program. Then 300 places failing for one cause on a
# 1,000-pixel screen: the message box says so in one line and fits.
#   tests/win32/window_test.sh PROGRAM ARTEFACTS BUILD
# BUILD holds the wine prefix of scripts/wine.sh.
. "$(dirname "$0")/../gui/lib.sh"
. "$(dirname "$0")/lib.sh"
start_wine_x 1280x1000

# A program folder with three places whose pages are sample pages, in the
# order the list shows them.
page() { printf 'file:///Z:%s/tests/data/%s.html' "$ROOT" "$1"; }
PLACES=(北京=hangzhou-2014 广州=harbin-2016 杭州=hangzhou-2014)
PROGRAM_FOLDER=$WORK/program
mkdir -p "$PROGRAM_FOLDER/WebSite" "$PROGRAM_FOLDER/WeatherData"
cp "$PROGRAM" "$PROGRAM_FOLDER/vantoril.exe"
write_place() { printf '%s\r\n' "$(page "${1#*=}")" | iconv -f UTF-8 -t GBK >"$PROGRAM_FOLDER/WebSite/${1%%=*}.txt"; }
# The last one comes while the window is open.
for p in "${PLACES[@]:0:2}"; do write_place "$p"; done

# Types Chinese characters given as keysyms (U5357) one at a time on a key
# of their own. Wine finds the character of a key it has no name for only
# on a key it counts to the main block, and only once it has read the new
# mapping: keycode 97 (the Japanese "ro" key, free in Xvfb's keymap), mapped
# to each character in turn with time to read it.
type_chinese() {
  [ -z "$(xmodmap -pke | awk '$2 == 97 { print $4 }')" ] || fail "keycode 97 is in use"
  local c
  for c in "$@"; do
    xmodmap -e "keycode 97 = $c"
    sleep 0.5
    xdotool key "$c"
    sleep 0.3
  done
  xmodmap -e "keycode 97 ="
}

(cd "$PROGRAM_FOLDER" && LC_ALL=zh_CN.UTF-8 exec wine vantoril.exe) >"$WORK/program.log" 2>&1 &
APP_PID=$!
# Without a window manager wine draws no frame: the window is the menu bar
# and the client area beneath it.
WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vantoril v 1\.0$' | head -n 1)
[ -n "$WINDOW" ] || fail "the window did not appear; program output: $(cat "$WORK/program.log")"
measure_menu
sleep 1

# The open window, not activated again, follows its place folder: the last
# place written into it shows in the list (more text in the list's area).
list_dark() { dark=$(dark_pixels "$(screenshot win32-list)" 10 26 220 48); }
listed() { list_dark && [ "$dark" -gt 20 ]; }
client_in_place win32
wait_until 30 listed || fail "the list shows no place ($dark dark pixels)"
before=$dark
write_place "${PLACES[2]}"
grown() { list_dark && [ "$dark" -gt $((before + 20)) ]; }
wait_until 10 grown || fail "the list did not follow a place written into its folder ($before, then $dark dark pixels)"

# The record button records what the folder holds at the click: the three
# places, the last one added after the window listed the first two.
click_twips 240 4320 3495 1335
data=$PROGRAM_FOLDER/WeatherData
timeout 60 bash -c "until [ -e '$data/杭州-WeatherData.xls' ]; do sleep 0.2; done" ||
  fail "the run did not record the last place; data folder: $(ls "$data")"
sleep 1
screenshot win32-recorded >/dev/null
# The data file of a place: the header line, then the record of what the
# page's maker wrote down (tests/data/*.expected.txt, rows newest first).
expected_data() {
  {
    printf '天气数据文件\r\n'
    awk -F'\t' 'NR == 1 { printf "数据记录时间:%s\r\n整点\t气温\t降水\t湿度\r\n", substr($2, 1, 10); next }
                { rows[NR] = $0 } END { for (i = NR; i > 1; i--) printf "%s\r\n", rows[i]; printf "\r\n" }' \
      "$ROOT/tests/data/$1.expected.txt"
  } | iconv -f UTF-8 -t GBK
}
for p in "${PLACES[@]}"; do
  cmp <(expected_data "${p#*=}") "$data/${p%%=*}-WeatherData.xls" || fail "the data file of ${p%%=*} differs"
done

# The pointer resting on the list brings up its tooltip (a window of the
# program without a name) with the selected place (杭州, the last recorded).
pointer 70 35
sleep 0.3
pointer 72 36
tip=""
for ((i = 0; i < 50; i++)); do
  tip=$(xdotool search --onlyvisible --class '^vantoril\.exe$' 2>/dev/null | grep -vx "$WINDOW" | head -n 1)
  [ -n "$tip" ] && break
  sleep 0.1
done
[ -n "$tip" ] || fail "no tooltip over the list"
read -r tip_w tip_h < <(xdotool getwindowgeometry "$tip" | sed -n 's/^ *Geometry: \([0-9]*\)x\([0-9]*\)/\1 \2/p')
dark=$(dark_pixels "$(screenshot win32-list-tooltip "$tip")" 3 3 $((tip_w - 6)) $((tip_h - 6)))
[ "$dark" -gt 20 ] || fail "the list's tooltip shows no text ($dark dark pixels)"

# The list's menu, by the right button on 广州 (the second row) while 杭州
# is selected: the click selects 广州 (highlighted, its name and address
# shown as a left click shows them), then the menu's first entry writes its
# chart page. The page cannot be opened here (wine has no browser): a
# message box says so.
shown_place() { for a in 225x41+24+240 777x49+240+24; do convert "$1" -crop "$a" +repage -format '%#' info:; done; }
highlight() { convert "$1" -crop "45x9+10+$2" +repage "$WORK/row.png" && blue_pixels "$WORK/row.png"; }
not_opened() {  # the message box that the chart page could not be opened, closed again
  local box
  box=$(wait_shown '^Vantoril v 1\.0$' 20 "$WINDOW") || fail "$1: no message that the chart page could not be opened"
  sleep 0.5
  screenshot "win32-chart-not-opened" "$box" >/dev/null
  xdotool windowfocus "$box" 2>/dev/null
  xdotool key Return
  wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the message box did not close"
}
before=$(shown_place "$(screenshot win32-before-right-click)")
pointer 60 44 click 3
sleep 1
screenshot win32-list-menu >/dev/null
xdotool mousemove_relative 20 10 click 1
timeout 20 bash -c "until [ -s '$data/广州-WeatherData.html' ]; do sleep 0.2; done" ||
  fail "the list's menu wrote no chart page; data folder: $(ls "$data")"
not_opened "the list's menu"
sleep 1
shot=$(screenshot win32-right-clicked)
right=$(shown_place "$shot")
[ "$right" != "$before" ] || fail "the right click on 广州 left 杭州 shown"
[ "$(highlight "$shot" 41)" -gt 100 ] && [ "$(highlight "$shot" 54)" -lt 10 ] ||
  fail "the right click did not select 广州 (see $shot)"

# The keyboard opens the list's menu at the selected place: Shift+F10, then
# the Menu key, each followed by Down and Return, its first entry (查看图表), with
# 广州 selected (a click on 北京, then Down), shown as the right click showed it.
pointer 60 31 click 1
sleep 0.5
xdotool key Down
sleep 0.5
same_place() { [ "$(shown_place "$(screenshot win32-left-clicked)")" = "$right" ]; }
wait_until 10 same_place ||
  fail "the right click showed other than the keyboard's 广州 (see win32-right-clicked.png, win32-left-clicked.png)"
for keys in shift+F10 Menu; do
  rm -f "$data/广州-WeatherData.html"
  pointer 60 44 click 1  # the keyboard's focus in the list again, after the message box
  sleep 0.5
  xdotool key "$keys"
  sleep 1
  screenshot "win32-list-menu-$keys" root >/dev/null
  xdotool key Down Return
  timeout 20 bash -c "until [ -s '$data/广州-WeatherData.html' ]; do sleep 0.2; done" ||
    fail "$keys opened no menu at the selected place; data folder: $(ls "$data")"
  not_opened "$keys"
done

# New through the real input boxes: a Chinese name, then the address, each
# typed into the box (a click gives wine's box the keyboard, and a Shift
# takes the first key that only wakes it; a box that still shows nothing is
# typed into again), then OK.
fill_box() {  # title, typing command...
  local title=$1 dialog try shown
  shift
  dialog=$(wait_shown "$title" 20)
  [ -n "$dialog" ] || fail "no input box '$title'"
  for try in 1 2 3; do
    xdotool mousemove --window "$dialog" 100 107 click 1
    sleep 0.5
    xdotool key shift End shift+Home BackSpace
    sleep 0.3
    "$@"
    sleep 0.5
    # Pixels of text in the box, right of where the caret of an empty box blinks.
    shown=$(convert "$(screenshot win32-input-box "$dialog")" -crop 330x16+20+99 +repage -colorspace Gray \
      -threshold 75% -negate -format '%[fx:round(mean*w*h)]' info:)
    if [ "$shown" -gt 30 ]; then
      xdotool mousemove --window "$dialog" 324 24 click 1  # OK
      return
    fi
  done
  fail "the input box '$title' shows nothing of what was typed"
}
click_twips 1680 120 855 255
fill_box 'Add location' type_chinese U5357 U4EAC  # 南京
fill_box '添加天气网址' xdotool type --delay 20 "$(page nanjing)"  # an address no other place has
# Wine without a window manager waits up to two seconds for a closed box to
# be withdrawn before it goes on.
file=$PROGRAM_FOLDER/WebSite/南京.txt
timeout 20 bash -c "until [ -f '$file' ]; do sleep 0.2; done"
[ -f "$file" ] || fail "no catalogue file 南京.txt; the folder holds: $(ls "$PROGRAM_FOLDER/WebSite")"
cmp <(printf '%s\r\n' "$(page nanjing)") "$file" || fail "the catalogue file of 南京 holds $(od -c "$file")"

# A name, then Cancel in the address box: no place is made.
click_twips 1680 120 855 255
fill_box 'Add location' type_chinese U897F U5B89  # 西安
dialog=$(wait_shown '添加天气网址' 20)
[ -n "$dialog" ] || fail "no input box '添加天气网址' after the name"
xdotool mousemove --window "$dialog" 324 54 click 1  # Cancel
wait_gone '添加天气网址' 20 || fail "the address box did not close on Cancel"
sleep 1
[ ! -e "$PROGRAM_FOLDER/WebSite/西安.txt" ] || fail "Cancel in the address box made 西安.txt: $(od -c "$PROGRAM_FOLDER/WebSite/西安.txt")"

# Select it (second row: 北京, 南京, 广州, 杭州) and delete it.
pointer 60 31 click 1
sleep 0.5
xdotool key Down
sleep 0.5
click_twips 2520 120 855 255
timeout 10 bash -c "while [ -e '$file' ]; do sleep 0.2; done" || fail "Delete left 南京.txt in place"
sleep 0.5
[ "$(ls "$PROGRAM_FOLDER/WebSite" | wc -l)" -eq 3 ] || fail "Delete removed another place: $(ls "$PROGRAM_FOLDER/WebSite")"
screenshot win32-deleted >/dev/null

# The list's menu, below its separator: "定时记录…" (the fourth from the end) opens
# the schedule's dialog with the state read from the Task Scheduler (or why
# it could not be read: wine's service may not run in this session), and
# Cancel closes it.
pointer 60 31 click 3
sleep 1
xdotool key Up Up Up Up Return
dialog=$(wait_shown '^定时记录$' 20 "$WINDOW") || fail "the menu's 定时记录… opened no dialog"
sleep 1
screenshot win32-schedule-dialog "$dialog" >/dev/null
xdotool mousemove --window "$dialog" 324 238 click 1  # 取消
wait_gone '^定时记录$' 20 || fail "Cancel did not close the schedule's dialog"

# "导出此地数据…" over 北京: the common save dialog opens in the user's
# documents folder at vantoril-<date>.csv; Enter takes it, and a message says
# where it went.
table=$(readlink -f "$WINEPREFIX/drive_c/users/$(id -un)/Documents")/vantoril-$(date +%Y-%m-%d).csv
rm -f "$table"
pointer 60 31 click 3
sleep 1
xdotool key Down Down Down Return
dialog=$(wait_shown '^导出数据$' 30 "$WINDOW") || fail "the menu's 导出此地数据… opened no save dialog"
sleep 1
screenshot win32-export-dialog "$dialog" >/dev/null
xdotool key Return
timeout 20 bash -c "until [ -s '$table' ]; do sleep 0.2; done" || fail "no table $table in the documents folder"
box=$(wait_shown '^Vantoril v 1\.0$' 20 "$WINDOW") || fail "no message after the export"
screenshot win32-export-done "$box" >/dev/null
xdotool key Return
python3 - "$table" <<'PY' || fail "the table of 北京 is not what it should be"
import csv, re, sys
data = open(sys.argv[1], "rb").read()
assert data.startswith("\ufeff地名,时间（北京时间）,气温,降水,湿度,质量\r\n".encode()), data[:40]
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig", newline="")))[1:]
assert rows and all(r[0] == "北京" and re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:00", r[1]) for r in rows), rows[:2]
assert [r[1] for r in rows] == sorted(set(r[1] for r in rows)), "hours out of order or twice"
PY
rm -f "$table"

# Every command of the menu bar, by its access keys (Alt and the menu's,
# then the entry's) and the usual shortcuts, with 北京 selected: the window
# it opens (closed again with Escape, wine's explorer for the data folder
# with Alt+F4; the chart page cannot be opened, as wine has no browser
# here, and a message box says so), or the file it makes or deletes. Delete
# comes last. (修改网址, 打开网页 and 使用说明 start programs that show
# nothing here: the Linux window's test has them.)
while IFS='|' read -r keys expected close; do
  [[ $expected == made:* ]] && rm -f "$PROGRAM_FOLDER/${expected#made:}"
  xdotool windowfocus "$WINDOW" 2>/dev/null
  pointer 60 31 click 1  # 北京 (New, say, empties the selection as it refreshes the list)
  sleep 0.5
  xdotool key $keys
  case $expected in
    window:*)
      box=$(wait_shown "${expected#window:}" 30 "$WINDOW") || fail "$keys opened no window ${expected#window:}"
      sleep 1
      xdotool windowfocus "$box" 2>/dev/null
      xdotool key "${close:-Escape}"
      wait_gone "${expected#window:}" 20 "$WINDOW" || fail "the window $keys opened did not close" ;;
    made:*)
      wait_until 30 test -e "$PROGRAM_FOLDER/${expected#made:}" || fail "$keys made no ${expected#made:}" ;;
    gone:*) wait_until 10 test ! -e "$PROGRAM_FOLDER/${expected#gone:}" || fail "$keys left ${expected#gone:}" ;;
  esac
  sleep 0.5
done <<'CASES'
alt+p n|window:^添加地名
ctrl+n|window:^添加地名
alt+p a|window:^按名称添加地名$
ctrl+f|window:^按名称添加地名$
alt+p r|window:^重命名$
F2|window:^重命名$
alt+p c|window:^Vantoril v 1\.0$
alt+r s|made:WeatherData/杭州-WeatherData.xls
F5|made:WeatherData/杭州-WeatherData.xls
alt+r t|window:^定时记录$
alt+d c|window:^Vantoril v 1\.0$
alt+d e|window:^导出数据$
alt+d p|window:^导出数据$
alt+d v|window:^Vantoril v 1\.0$
alt+d o|window:WeatherData|alt+F4
alt+h a|window:^Vantoril v 1\.0$
alt+p d|gone:WebSite/北京.txt
CASES

# A run shows it is running, and ends with each place's own values: 北京
# from its file, then 杭州 from a loopback server whose page drips in over
# about 4 s and holds no observations. While it drips the record button is
# disabled (its caption greyed, not black); at the end the report names 杭州
# and, under its name, the boxes are empty (not 北京's values).
# Alt+F4 closes the window and ends the program, its folder watch with it.
xdotool windowfocus "$WINDOW" 2>/dev/null
xdotool key alt+F4
timeout 20 tail --pid="$APP_PID" -f /dev/null || fail "the program did not end when its window closed"
stop_program
printf '<html><body>%s</body></html>' "$(printf 'x%.0s' {1..4000})" >"$WORK/dripping.html"
start_dripping_server "$WORK/dripping.html" 40 0.1
rm -f "$PROGRAM_FOLDER/WebSite/"*.txt "$PROGRAM_FOLDER/vantoril.log"
printf '%s\r\n' "$(page hangzhou-2014)" | iconv -f UTF-8 -t GBK >"$PROGRAM_FOLDER/WebSite/北京.txt"
printf 'http://127.0.0.1:%s/p\r\n' "$PORT" >"$PROGRAM_FOLDER/WebSite/杭州.txt"
(cd "$PROGRAM_FOLDER" && LC_ALL=zh_CN.UTF-8 exec wine vantoril.exe) >"$WORK/program.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vantoril v 1\.0$' | head -n 1)
[ -n "$WINDOW" ] || fail "the window did not appear again; program output: $(cat "$WORK/program.log")"
measure_menu
sleep 1
# Pixels of black text in the record button's caption (grey text is not counted).
caption_black() {
  convert "$1" -crop 200x30+30+318 +repage -colorspace Gray -threshold 33% -negate -format '%[fx:round(mean*w*h)]' info:
}
# The window drawn whole first (wine paints a new window late on a loaded machine).
drawn() { idle=$(caption_black "$(screenshot win32-run-idle)") && [ "$idle" -gt 40 ]; }
wait_until 30 drawn || fail "the record button's caption is not black before the run ($idle pixels)"
click_twips 240 4320 3495 1335
sleep 1.5
running=$(caption_black "$(screenshot win32-run-dripping)")
[ "$running" -lt $((idle / 4)) ] || fail "the record button is not disabled during the run ($running of $idle black pixels)"
box=$(wait_shown '^Vantoril v 1\.0$' 30 "$WINDOW") || fail "no report after the run"
sleep 1
shot=$(screenshot win32-run-failed)
[ "$(caption_black "$shot")" -gt $((idle / 2)) ] || fail "the record button is still disabled after the run"
grep -q $'\t杭州\t错误' "$PROGRAM_FOLDER/vantoril.log" || fail "杭州 did not fail: $(cat "$PROGRAM_FOLDER/vantoril.log")"
# Text9 to Text12 (the values), left of their scroll bars and above the report
# (centred on the window, its top at about 350 of the client area when it
# names a stale page too).
for left in 608 688 768 848; do
  dark=$(dark_pixels "$shot" $((left + 3)) 262 50 80)
  [ "$dark" -eq 0 ] || fail "the value box at x $left holds the place before's values ($dark dark pixels)"
done
xdotool windowfocus "$box" 2>/dev/null
xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the report did not close"

stop_program
rm -rf "$PROGRAM_FOLDER/WebSite"
mkdir -p "$PROGRAM_FOLDER/WebSite"
for ((i = 0; i < 300; i++)); do printf 'http://127.0.0.1:1/%d\r\n' "$i" >"$PROGRAM_FOLDER/WebSite/p$i.txt"; done
(cd "$PROGRAM_FOLDER" && LC_ALL=zh_CN.UTF-8 exec wine vantoril.exe) >"$WORK/program.log" 2>&1 &
APP_PID=$!
WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name '^Vantoril v 1\.0$' | head -n 1)
[ -n "$WINDOW" ] || fail "the window of 300 places did not appear"
measure_menu
sleep 1
click_twips 240 4320 3495 1335
box=$(wait_shown '^Vantoril v 1\.0$' 120 "$WINDOW") || fail "no message box after 300 places failed"
sleep 1
screenshot win32-300-places "$box" >/dev/null
# Fifteen lines of names at most, then the count of the others.
fits_on_screen "$box" 1000 800 "the box of 300 places failing alike"
echo "PASS: $TEST_NAME"
