#!/usr/bin/env bash
# vantoril.exe imports only kernel32 and the C runtime: every other DLL is
# delay-loaded, at the first call of one of its functions, so that the
# window's start-up loads none it does not need and begins listing the
# catalogue before the window's own DLLs are loaded. A DLL that cannot be
# loaded fails the operation that needs it, naming the DLL, while the rest
# of the run goes on. Under wine, a DLL is made missing by disabling it.
#   tests/win32/delay_load_test.sh BUILD PROGRAM OBJDUMP
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
program=$2
objdump=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-win-delay.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

imports=$("$objdump" -p "$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
[ "$imports" = "kernel32.dll msvcrt.dll " ] || fail "the program imports ${imports:-nothing}, not only kernel32.dll and msvcrt.dll"
# ASLR and DEP, and the embedded manifest.
headers=$("$objdump" -p "$program")
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
  grep -qw "$flag" <<<"$headers" || fail "the program is not linked with $flag"
done
grep -q "PerMonitorV2" "$program" || fail "the program has no manifest declaring PerMonitorV2"

# One run of the program under wine with `disabled` DLLs; its stdout
# (CR LF ends taken off) in $work/out, stderr in $work/err, exit code in $status.
run() {
  local disabled=$1
  shift
  status=0
  (cd "$work" && WINEDLLOVERRIDES="$disabled=d" "$root/scripts/wine.sh" "$build" run "$work/program/vantoril.exe" "$@") \
    >"$work/out.crlf" 2>"$work/err.crlf" </dev/null || status=$?
  tr -d '\r' <"$work/out.crlf" >"$work/out"
  tr -d '\r' <"$work/err.crlf" >"$work/err"
}

# Without WinHTTP: the file:// places are recorded, the http place fails
# naming winhttp.dll, and the run ends as any run with a failed place.
mkdir -p "$work/program/WebSite"
cp "$program" "$work/program/vantoril.exe"
place() { printf '%s\r\n' "$2" >"$work/program/WebSite/$1.txt"; }
# In listing order: 北京, 广州, 杭州.
place 北京 "file:///Z:$root/tests/data/hangzhou-2014.html"
place 广州 "http://127.0.0.1:9/page.html"
place 杭州 "file:///Z:$root/tests/data/harbin-2016.html"
run winhttp --record
cat "$work/out" "$work/err"
[ "$status" -eq 1 ] || fail "exit code $status without winhttp.dll, not 1 (a place failed)"
grep -q $'^广州\t错误：.*winhttp\.dll' "$work/out" || fail "广州's failure does not name winhttp.dll"
data=$work/program/WeatherData
cmp "$data/北京-WeatherData.xls" "$root/tests/data/hangzhou-2014.WeatherData.xls" || fail "北京's data file differs"
cmp "$data/杭州-WeatherData.xls" "$root/tests/data/harbin-2016.WeatherData.xls" || fail "杭州's data file differs"

# Without ole32, the Task Scheduler cannot be asked: the schedule's state
# is a failure naming ole32.dll.
run ole32 --schedule
cat "$work/out" "$work/err"
[ "$status" -eq 1 ] || fail "exit code $status for --schedule without ole32.dll, not 1"
grep -q 'ole32\.dll' "$work/err" || fail "the failure of --schedule does not name ole32.dll"
echo "PASS"
