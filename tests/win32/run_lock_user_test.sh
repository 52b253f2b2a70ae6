#!/usr/bin/env bash
# The run lock of a program folder whose lock file is read-only, under wine
# run by user nobody in a wine prefix of its own: wine run by root writes a
# read-only file all the same, an ordinary user is refused as on Windows, and
# the lock falls back to a handle opened for reading, which locks as well.
#   tests/win32/run_lock_user_test.sh UNIT_TESTS
set -euo pipefail
program=$1
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "not root: cannot run wine as user nobody"
id nobody >/dev/null 2>&1 && command -v setpriv >/dev/null || skip "no user nobody or no setpriv"
work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-win-lock.XXXXXX")
as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME="$work" \
    WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@" </dev/null
}
holder=
cleanup() {
  [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
  as_nobody timeout 10 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
mkdir "$work/program" "$work/prefix"
# A copy the user nobody can read: the build folder may lie where only root goes
# (a clone in /root).
cp "$program" "$work/unit_tests.exe"
program=$work/unit_tests.exe
: >"$work/program/vantoril.lock"
chmod 444 "$work/program/vantoril.lock"
chown nobody: "$work/prefix" "$work/program"
as_nobody timeout 60 wineboot -i >/dev/null 2>&1 || fail "wineboot -i as nobody failed or took over 60 s"
as_nobody timeout 30 wine "$program" --hold lock 'Z:'"$work/program" >"$work/first" 2>&1 &
holder=$!
for _ in $(seq 100); do grep -q held "$work/first" || ! kill -0 "$holder" 2>/dev/null && break; sleep 0.2; done
grep -q held "$work/first" || fail "the read-only lock file was not locked: $(cat "$work/first")"
status=0
as_nobody timeout 30 wine "$program" --hold lock 'Z:'"$work/program" >"$work/second" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "a second holder: exit code $status, not 1 (refused): $(cat "$work/second")"
echo "PASS"
