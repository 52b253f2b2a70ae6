#!/usr/bin/env bash
# The headless recording run of the Windows program under wine beside the
# Linux program over the same 200 places, and where the difference goes:
#   start-up      an empty catalogue: the process, its libraries (under wine:
#                 the wine process and its DLLs), the folder scan, the lock;
#   file://       200 places whose addresses are file:// pages: each place's
#                 own work (its catalogue file, its data file and the run log,
#                 the page's cut), no network;
#   127.0.0.1     the same 200 pages served from 127.0.0.1 by serve_pages:
#                 the downloads on top (libcurl against WinHTTP).
# Each figure is the median of its rounds; the six run in turn, round after
# round (after one warm-up round), so load on a shared machine falls on all
# alike.
#
#   bench/windows.sh [Windows build folder] [Linux bench build folder]
#
# Defaults: build-win (made as scripts/test.sh makes it, when missing) and
# build-bench beside this folder. Environment: BENCH_RUNS rounds (default 5);
# BENCH_PAGES as for bench/run.sh.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${2:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
win_build=${1:-$root/build-win}
runs=${BENCH_RUNS:-5}
places=200
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

build_bench vantoril serve_pages
if [[ ! -x $win_build/vantoril.exe ]]; then
  "$root/scripts/build.sh" "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    --no-warn-unused-cli -- vantoril.exe >&2
fi
win_build=$(cd "$win_build" && pwd)
"$root/scripts/wine.sh" "$win_build" start
trap '"$root/scripts/wine.sh" "$win_build" stop; cleanup' EXIT

pages=$(page_folder)
start_server --count "$places" ${pages:+--pages "$pages"}

# The pages as files, for the file:// places.
mkdir -p "$work/pages"
for ((i = 0; i < places; i++)); do
  printf 'url = "http://127.0.0.1:%s/p%04d"\noutput = "%s/pages/p%04d.html"\n' "$port" "$i" "$work" "$i"
done >"$work/pages.conf"
curl -s --config "$work/pages.conf"

# Program folders SIDE-KIND: linux or windows; empty, file or http.
for side in linux windows; do
  for kind in empty file http; do
    mkdir -p "$work/$side-$kind/WebSite"
    if [[ $side == linux ]]; then cp "$build/vantoril" "$work/$side-$kind/"; else cp "$win_build/vantoril.exe" "$work/$side-$kind/"; fi
  done
done
for ((i = 0; i < places; i++)); do
  name=$(printf '地点%04d.txt' "$i")
  page=$(printf '%s/pages/p%04d.html' "$work" "$i")
  for side in linux windows; do
    printf 'http://127.0.0.1:%s/p%04d\r\n' "$port" "$i" >"$work/$side-http/WebSite/$name"
  done
  printf 'file://%s\r\n' "$page" >"$work/linux-file/WebSite/$name"
  printf 'file:///Z:%s\r\n' "$page" >"$work/windows-file/WebSite/$name"  # wine's drive Z: is /
done

linux() { "$work/linux-$1/vantoril" --record; }
windows() { "$root/scripts/wine.sh" "$win_build" run "$work/windows-$1/vantoril.exe" --record; }
for side in linux windows; do
  for kind in empty file http; do eval "$side-$kind() { $side $kind; }"; done
done
# Every place must be recorded, on both sides, before anything is timed.
for side in linux windows; do
  for kind in file http; do
    recorded=$("$side" "$kind" 2>/dev/null | tr -d '\r' | grep -c $'\t2' || true)
    [[ $recorded == "$places" ]] || { say "$side, $kind: $recorded of $places places recorded"; exit 1; }
  done
done

commands=(linux-empty windows-empty linux-file windows-file linux-http windows-http)
in_rounds "$runs" "${commands[@]}"
declare -A t
# shellcheck disable=SC2086  # the samples are words
for command in "${commands[@]}"; do t[$command]=$(median ${took[$command]}); done
stop_server

share() { local d=$(( $1 - $2 )); printf '%d' $(( d > 0 ? d : 0 )); }
row() {  # label linux-µs windows-µs
  if (( $2 > 0 )); then
    printf '  %-34s %10s ms %10s ms %8s x\n' "$1" "$(ms "$2")" "$(ms "$3")" "$(ratio "$3" "$2")"
  else
    printf '  %-34s %10s ms %10s ms\n' "$1" "$(ms "$2")" "$(ms "$3")"
  fi
}
printf '\nHeadless run, Windows program under wine beside the Linux program (%d places; medians of %d rounds; load %s)\n' \
  "$places" "$runs" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-34s %13s %13s %10s\n' "" "Linux" "wine" "wine/Linux"
row "whole run, 127.0.0.1" "${t[linux-http]}" "${t[windows-http]}"
row "  start-up (empty catalogue)" "${t[linux-empty]}" "${t[windows-empty]}"
row "  the places' own work (file://)" "$(share "${t[linux-file]}" "${t[linux-empty]}")" \
  "$(share "${t[windows-file]}" "${t[windows-empty]}")"
row "  the downloads on top" "$(share "${t[linux-http]}" "${t[linux-file]}")" \
  "$(share "${t[windows-http]}" "${t[windows-file]}")"
