#!/usr/bin/env bash
# vantoril.exe --record under wine, from a program folder of its own, over
# three places served from 127.0.0.1, the middle one dead: the data files
# written must be byte for byte those of tests/data.
#   tests/win32/headless_record_test.sh BUILD PROGRAM
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
program=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-win-headless.XXXXXX")
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The sample pages, and two of them spoilt: a formula behind an ideographic
# space and a NUL byte for values.
mkdir -p "$work/pages"
cp "$root/tests/data/"*.html "$work/pages/"
sed 's/"od22":"-8"/"od22":"　=2*3"/' "$root/tests/data/harbin-2016.html" >"$work/pages/formula.html"
perl -pe 's/"od27":"61"/"od27":"1\x002"/' "$root/tests/data/harbin-2016.html" >"$work/pages/nul.html"
cmp -s "$work/pages/formula.html" "$work/pages/harbin-2016.html" && fail "no value spoilt in formula.html"
cmp -s "$work/pages/nul.html" "$work/pages/harbin-2016.html" && fail "no value spoilt in nul.html"
"$root/tests/tools/serve_folder.py" "$work/pages" >"$work/port" &
server=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
[ -n "$port" ] || fail "the page server did not start"

mkdir -p "$work/program/WebSite"
cp "$program" "$work/program/vantoril.exe"
place() { printf 'http://127.0.0.1:%s/%s\r\n' "$port" "$2" >"$work/program/WebSite/$1.txt"; }
# In listing order: 上海, 北京, 天津, 广州, 杭州.
place 上海 formula.html
place 北京 hangzhou-2014.html
place 天津 nul.html
place 广州 no-such-page.html
place 杭州 harbin-2016.html

status=0
(cd "$work" && "$root/scripts/wine.sh" "$build" run "$work/program/vantoril.exe" --record) \
  >"$work/out.crlf" 2>"$work/err" </dev/null || status=$?
tr -d '\r' <"$work/out.crlf" >"$work/out"
# Windows ends console lines in CR LF, into a file as well.
crlf() { ! grep -q $'[^\r]$\|^$' "$1" && [ "$(tail -c1 "$1")" = "" ] || fail "$2 lines not ended in CR LF: $(od -c "$1" | head)"; }
crlf "$work/out.crlf" "vantoril.exe:"
cat "$work/out"
cat "$work/err" >&2
[ "$status" -eq 1 ] || fail "exit code $status, not 1 (a place failed)"
grep -qx $'北京\t2014061914' "$work/out" || fail "no line for 北京"
grep -q $'^广州\t错误：下载 http://127.0.0.1:'"$port"'/no-such-page.html 失败：HTTP 状态 404$' "$work/out" ||
  fail "no failure line for 广州"
data=$work/program/WeatherData
cmp "$data/北京-WeatherData.xls" "$root/tests/data/hangzhou-2014.WeatherData.xls" || fail "北京's data file differs"
[ ! -e "$data/广州-WeatherData.xls" ] || fail "a data file for the dead place"
# What a spreadsheet would run, or a control character, fails its place and names the field.
grep -q $'^上海\t错误：观测数据“气温”第 1 项的值 “　=2\\*3” 不是数字' "$work/out" || fail "no failure line for 上海's formula"
grep -q $'^天津\t错误：观测数据“湿度”第 1 项的值 “1\\\\x002” 含有控制字符' "$work/out" || fail "no failure line for 天津's NUL"
[ ! -e "$data/上海-WeatherData.xls" ] && [ ! -e "$data/天津-WeatherData.xls" ] || fail "a data file for a refused record"
# A run that goes on after a failed place has recorded 杭州 as well.
if [ -e "$data/杭州-WeatherData.xls" ]; then
  cmp "$data/杭州-WeatherData.xls" "$root/tests/data/harbin-2016.WeatherData.xls" || fail "杭州's data file differs"
fi
[ ! -e "$work/WeatherData" ] || fail "data written beside the current folder"
# The overview under its Chinese name, one row per place, 广州 failing, 北京 recorded in 2014 (stale).
overview=$data/一览.html
[ -s "$overview" ] || fail "no 一览.html after the run; the data folder holds: $(ls "$data")"
for row in '<tr><td>上海</td><td>—</td><td><span class="none">还没有记录' '<tr><td>北京</td><td>2014年6月19日 14时</td><td><span class="stale">页面过时' \
  '<tr><td>广州</td><td>—</td><td><span class="none">还没有记录</span>；<span class="failing"'; do
  grep -qF "$row" "$overview" || fail "一览.html lacks $row"
done

# The same run through the console companion vantoril.com, in a folder
# whose name has a blank (its path comes quoted): it waits for the program,
# passes its arguments, its lines (UTF-8 into a pipe) and its exit code on.
cp "$(dirname "$program")/vantoril.com" "$work/program/vantoril.com"
rm -rf "$data"
mv "$work/program" "$work/my program"
data="$work/my program/WeatherData"
status=0
(cd "$work" && "$root/scripts/wine.sh" "$build" run "$work/my program/vantoril.com" --record) \
  >"$work/out.crlf" 2>"$work/err" </dev/null || status=$?
[ "$status" -eq 1 ] || fail "vantoril.com: exit code $status, not 1: $(cat "$work/err")"
crlf "$work/out.crlf" "vantoril.com:"
tr -d '\r' <"$work/out.crlf" | diff - "$work/out" || fail "vantoril.com printed other lines"
cmp "$data/北京-WeatherData.xls" "$root/tests/data/hangzhou-2014.WeatherData.xls" || fail "vantoril.com: 北京's data file differs"
echo "PASS"
