#!/usr/bin/env bash
# The WinHTTP downloader under wine against an https server on 127.0.0.1
# whose certificate nobody signed (openssl s_server): the failure must name
# the certificate as the Linux downloader's does. Skipped (exit 77), with the
# reason, where wine's WinHTTP cannot tell a refused certificate from another
# secure-connection failure.
#   tests/win32/tls_test.sh BUILD UNIT_TESTS
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
tests=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-win-tls.XXXXXX")
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
# Up to three connections: wine may try more than once.
openssl s_server -accept 127.0.0.1:0 -naccept 3 -www -cert "$work/cert.pem" -key "$work/key.pem" \
  >"$work/server.log" 2>&1 </dev/null &
server=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^ACCEPT .*:\([0-9]*\)$/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/server.log" >&2; echo "FAIL: openssl s_server did not start" >&2; exit 1; }

status=0
VANTORIL_TLS_PORT=$port "$root/scripts/wine.sh" "$build" run "$tests" --gtest_filter='WinHttpTls.*' \
  >"$work/out" 2>&1 </dev/null || status=$?
tr -d '\r' <"$work/out"
[ "$status" -eq 0 ] || exit "$status"
if grep -q '^\[  SKIPPED \] 1 test' "$work/out"; then
  echo "SKIPPED: see the reason above"
  exit 77
fi
grep -q '^\[  PASSED  \] 1 test' "$work/out" || { echo "FAIL: WinHttpTls did not run" >&2; exit 1; }
