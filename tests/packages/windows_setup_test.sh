#!/usr/bin/env bash
# The Windows setup program, run for real under wine in a fresh wine prefix:
# /S installs for the user into %LOCALAPPDATA%\Programs\Vantoril with its
# Start menu entry and its entry in the user's "Apps" list; the installed
# program records headless over a file:// page; a reinstall over a running
# copy changes nothing and ends with a non-zero exit code; the registered
# quiet uninstall gives 2 over a running copy and 0 only when it removed
# the program: it turns recording on a schedule off, removes the program
# and itself, and keeps the places and the data.
#   tests/packages/windows_setup_test.sh SETUP
set -euo pipefail
export LC_ALL=C.UTF-8
repo=$(cd "$(dirname "$0")/../.." && pwd)
setup=$(realpath "$1")
version=$(basename "$setup" .exe)
version=${version#vantoril-setup-}
fail() { echo "FAIL (windows_setup_test): $*" >&2; exit 1; }
command -v wine >/dev/null || { echo "SKIP (windows_setup_test): wine is not installed"; exit 0; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-setup.XXXXXX")
server=
recording=
cleanup() {
  [ -z "$recording" ] || kill "$recording" 2>/dev/null || true
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  "$repo/scripts/wine.sh" "$work" stop
  rm -rf "$work"
}
trap cleanup EXIT
wine_run() { "$repo/scripts/wine.sh" "$work" run "$@" </dev/null; }
ms_since() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Waits (at most a minute) for a condition the wine programs bring about.
wait_for() {
  local _
  for _ in $(seq 240); do
    if eval "$1"; then return 0; fi
    sleep 0.25
  done
  return 1
}

"$repo/scripts/wine.sh" "$work" start
prefix=$work/wine/prefix
start=$(date +%s%N)
wine_run "$setup" /S || fail "the setup program with /S failed (exit code $?)"
echo "setup /S took $(ms_since "$start") ms"

folder=$(find "$prefix/drive_c/users" -maxdepth 6 -type d -path '*/AppData/Local/Programs/Vantoril' | head -n1)
[ -n "$folder" ] || fail "no %LOCALAPPDATA%\\Programs\\Vantoril"
for f in vantoril.exe guide.html uninstall.exe WebSite WeatherData; do [ -e "$folder/$f" ] || fail "$f was not installed"; done
[ -n "$(find "$prefix/drive_c/users" -path '*/Start Menu/Programs/Vantoril.lnk')" ] || fail "no Start menu entry"

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantoril'
wine_run reg query "$key" | tr -d '\r' >"$work/key" || fail "no uninstall entry $key"
value() { sed -n "s/^ *$1 *REG_[A-Z]* *//p" "$work/key"; }
[ "$(value DisplayName)" = Vantoril ] || fail "DisplayName is '$(value DisplayName)'"
[ "$(value DisplayVersion)" = "$version" ] || fail "DisplayVersion is '$(value DisplayVersion)', not $version"
[[ $(value UninstallString) == '"'*'\Programs\Vantoril\uninstall.exe"' ]] || fail "UninstallString is '$(value UninstallString)'"
[ "$(value QuietUninstallString)" = "$(value UninstallString) /S _?=$(value InstallLocation)" ] ||
  fail "QuietUninstallString is '$(value QuietUninstallString)'"
# The registered quiet uninstall, run as it stands (from a batch file:
# wine would quote its quotes as one argument of cmd /c).
printf '@%s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$(value QuietUninstallString)" >"$work/quiet.bat"
quiet_uninstall() { wine_run cmd /c "Z:${work//\//\\}\\quiet.bat"; }
[[ $(value InstallLocation) == *'\Programs\Vantoril' ]] || fail "InstallLocation is '$(value InstallLocation)'"
[ "$(value NoModify)" = 0x1 ] && [ "$(value NoRepair)" = 0x1 ] || fail "NoModify/NoRepair are not 1"
(( $(value EstimatedSize) > 0 )) || fail "EstimatedSize is '$(value EstimatedSize)'"

out=$(wine_run "$folder/vantoril.exe" --version | tr -d '\r')
[ "$out" = "vantoril $version" ] || fail "vantoril.exe --version says '$out'"

# The installed program records beside itself, over a file:// page.
cp "$repo/tests/data/hangzhou-2014.html" "$prefix/drive_c/page.html"
printf 'file:///C:/page.html\r\n' >"$folder/WebSite/北京.txt"
out=$(wine_run "$folder/vantoril.exe" --record | tr -d '\r') || fail "--record failed: $out"
grep -qx $'北京\t2014061914' <<<"$out" || fail "no line for 北京: $out"
expected=$repo/tests/data/hangzhou-2014.WeatherData.xls
cmp "$folder/WeatherData/北京-WeatherData.xls" "$expected" || fail "the data file differs"

# A copy that is running: a recording waiting for a server that never
# answers. The setup program gives up before changing anything.
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(4)
print(s.getsockname()[1], flush=True)
c, _ = s.accept(); print("connected", flush=True)
time.sleep(600)' >"$work/server" &
server=$!
wait_for '[ -s "$work/server" ]' || fail "the silent server did not start"
printf 'http://127.0.0.1:%s/\r\n' "$(head -n1 "$work/server")" >"$folder/WebSite/广州.txt"
"$repo/scripts/wine.sh" "$work" run "$folder/vantoril.exe" --record </dev/null >/dev/null 2>&1 &
recording=$!
wait_for 'grep -q connected "$work/server"' || fail "the running copy did not start"
cp "$folder/vantoril.exe" "$work/installed.exe"
touch -d '2001-01-01' "$folder/vantoril.exe"
status=0
wine_run "$setup" /S || status=$?
[ "$status" -ne 0 ] || fail "setup /S over a running copy said it succeeded"
cmp "$folder/vantoril.exe" "$work/installed.exe" || fail "setup /S changed the running program"
[ "$(stat -c %Y "$folder/vantoril.exe")" = "$(date -d 2001-01-01 +%s)" ] || fail "setup /S wrote the running program"
echo "setup /S over a running copy: exit code $status, nothing changed"
# The uninstaller too.
status=0
quiet_uninstall || status=$?
[ "$status" -eq 2 ] || fail "the quiet uninstall of a running copy gave $status, not 2"
cmp "$folder/vantoril.exe" "$work/installed.exe" || fail "uninstall /S removed the running program"
[ -e "$folder/uninstall.exe" ] || fail "uninstall /S of a running copy removed the uninstaller"
wine_run reg query "$key" >/dev/null 2>&1 || fail "uninstall /S of a running copy removed the uninstall entry"
echo "uninstall /S of a running copy: exit code $status, nothing changed"
kill "$recording"
wait "$recording" 2>/dev/null || true
recording=
kill "$server"
server=
rm "$folder/WebSite/广州.txt"
wait_for 'wine_run "$setup" /S' || fail "setup /S did not succeed once the copy ended"

data=$folder/WeatherData/北京-WeatherData.xls
cp "$data" "$work/data"
out=$(wine_run "$folder/vantoril.exe" --schedule 08:00,20:00 2>&1 | tr -d '\r') || fail "--schedule failed: $out"
task=$prefix/drive_c/windows/system32/tasks/Vantoril/vantoril-record
[ -e "$task" ] || fail "--schedule made no task: $out"
start=$(date +%s%N)
quiet_uninstall || fail "the quiet uninstall failed (exit code $?)"
[ ! -e "$task" ] || fail "the uninstall left the schedule's task"
# Once it has ended, the uninstaller is deleted too.
wait_for '[ ! -e "$folder/uninstall.exe" ]' || fail "the uninstaller did not remove itself"
echo "uninstall /S took $(ms_since "$start") ms"
[ ! -e "$folder/vantoril.exe" ] && [ ! -e "$folder/guide.html" ] || fail "the uninstaller left the program or its guide"
[ -z "$(find "$prefix/drive_c/users" -path '*/Start Menu/Programs/Vantoril.lnk')" ] || fail "the Start menu entry is left"
! wine_run reg query "$key" >/dev/null 2>&1 || fail "the uninstall entry is left"
cmp "$data" "$work/data" || fail "the uninstaller took the data"
[ -f "$folder/WebSite/北京.txt" ] || fail "the uninstaller took the places"
echo "PASS: windows_setup_test"
