#!/usr/bin/env bash
# Every figure of the recording run, the chart page and the two windows,
# each beside its floor, measured in one run and printed together at the end:
#   1. the recording run over 1,000 file:// pages against curl reading them,
#      and over 200 places from 127.0.0.1 answering 0, 50 and 150 ms late
#      against curl one by one and curl --parallel-max 6 (bench/distant.sh);
#   2. the chart page of a place with 10,000 records (bench/chart_page);
#   3. the Win32 window under wine beside the Qt window, 10,000 places
#      (bench/win32_startup.sh);
#   4. vantoril.exe --record under wine beside the Linux program over the
#      same 200 places, with where the difference goes (bench/windows.sh).
#
#   bench/figures.sh
#
# Builds what it needs: build-bench (the benchmarks), build (the Linux
# window) and build-win (the Windows program). The environment of each
# script applies (BENCH_RUNS, BENCH_DELAYS, BENCH_PAGES, ...).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$root/build-bench
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

build_bench vantoril serve_pages chart_page
"$root/scripts/build.sh" build -- vantoril vantoril_window >&2
"$root/scripts/build.sh" build-win -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" --no-warn-unused-cli \
  -- vantoril.exe >&2

say "== 1. recording run"
"$here/distant.sh" "$build" >"$work/1"
say "== 2. chart page"
{ printf '\n'; "$build/bench/chart_page"; printf '  target: a page of 10,000 records written within 50 ms\n'; } >"$work/2"
say "== 3. windows"
{ "$here/win32_startup.sh" "$root/build-win" "$root/build"; printf '  target: the Win32 window within 2 x the Qt window\n'; } >"$work/3"
say "== 4. the Windows program's run"
"$here/windows.sh" "$root/build-win" "$build" >"$work/4"

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
printf '\n==== Vantoril %s, %s, %s cores (%s), load now %s\n' "$(git -C "$root" describe --always --dirty 2>/dev/null)" \
  "$(date -u '+%Y-%m-%d %H:%M UTC')" "$(nproc)" "${cpu:-cpu unknown}" "$(cut -d' ' -f1-3 /proc/loadavg)"
cat "$work/1" "$work/2" "$work/3" "$work/4"
