#!/usr/bin/env bash
# The headless recording run of the Windows program under wine beside the
# Linux program, over the same 200 places served from 127.0.0.1 (the sample
# page of tests/data, by a Python server), as a ratio of the median times.
# An empty catalogue gives each side's start-up alone.
#
#   bench/windows.sh        (BENCH_RUNS=N runs per measurement, default 5)
#
# Builds build/ and build-win/ as scripts/test.sh does; works in a temporary
# folder that it removes; stops the server and the wineserver it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${BENCH_RUNS:-5}
places=200
say() { printf '%s\n' "$*" >&2; }

scripts/build.sh >&2
scripts/build.sh build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli >&2
scripts/wine.sh build-win start

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-bench-win.XXXXXX")
server=
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  scripts/wine.sh build-win stop
  rm -rf "$work"
}
trap cleanup EXIT

"$root/tests/tools/serve_folder.py" "$root/tests/data" >"$work/port" &
server=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")

# Program folders: linux-empty, linux-full, windows-empty, windows-full;
# the full ones with $places places.
for kind in empty full; do
  mkdir -p "$work/linux-$kind/WebSite" "$work/windows-$kind/WebSite"
  cp build/vantoril "$work/linux-$kind/vantoril"
  cp build-win/vantoril.exe "$work/windows-$kind/vantoril.exe"
done
for ((i = 0; i < places; i++)); do
  for side in linux windows; do
    printf 'http://127.0.0.1:%s/hangzhou-2014.html?place=%d\r\n' "$port" "$i" >"$work/$side-full/WebSite/place$i.txt"
  done
done

# Median seconds of $runs runs of one program folder's --record.
median() {
  local folder=$1
  shift
  local times=() r start end
  for ((r = 0; r < runs; r++)); do
    rm -rf "$folder/WeatherData"
    start=$(date +%s.%N)
    "$@" --record >/dev/null 2>&1 || { say "a run in $folder failed"; exit 1; }
    end=$(date +%s.%N)
    times+=("$(awk "BEGIN { print $end - $start }")")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

linux_empty=$(median "$work/linux-empty" "$work/linux-empty/vantoril")
linux_full=$(median "$work/linux-full" "$work/linux-full/vantoril")
wine_empty=$(median "$work/windows-empty" scripts/wine.sh build-win run "$work/windows-empty/vantoril.exe")
wine_full=$(median "$work/windows-full" scripts/wine.sh build-win run "$work/windows-full/vantoril.exe")
[ "$(ls "$work/windows-full/WeatherData" | wc -l)" -eq "$places" ] || { say "the wine run did not record every place"; exit 1; }

printf 'headless run, %d places from 127.0.0.1, median of %d runs\n' "$places" "$runs"
printf '  %-28s %8.3f s\n' "Linux, empty catalogue" "$linux_empty" "Linux, $places places" "$linux_full" \
  "wine, empty catalogue" "$wine_empty" "wine, $places places" "$wine_full"
awk -v le="$linux_empty" -v lf="$linux_full" -v we="$wine_empty" -v wf="$wine_full" 'BEGIN {
  printf "  ratio wine/Linux, whole run:       %.2f\n", wf / lf
  printf "  ratio wine/Linux, less start-up:   %.2f\n", (wf - we) / (lf - le)
}' 
