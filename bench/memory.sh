#!/usr/bin/env bash
# Peak memory of a headless recording run against the number of places:
# `vantoril --record` over 100, 1,000 and 10,000 places whose pages come
# from 127.0.0.1 (serve_pages, 1,000 distinct pages served in turn),
# measured with /usr/bin/time -v. The peak must not grow with the places.
#
#   bench/memory.sh [build folder]     (default: build-bench beside this folder)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
counts=(100 1000 10000)
pages=1000

say() { printf '%s\n' "$*" >&2; }

[ -x /usr/bin/time ] || {
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq time >/dev/null
}

say "== building in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DVANTORIL_BENCH=ON >"$build/bench-configure.log" 2>&1 ||
  { cat "$build/bench-configure.log" >&2; exit 1; }
ninja -C "$build" -j2 vantoril serve_pages >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-memory.XXXXXX")
server_pid=""
cleanup() {
  { exec 7>&-; } 2>/dev/null || true
  if [[ -n $server_pid ]]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/server.in"
"$build/bench/serve_pages" --count "$pages" <"$work/server.in" >"$work/port" 2>"$work/server.log" &
server_pid=$!
exec 7>"$work/server.in"  # the server ends when this closes
for ((i = 0; i < 600; i++)); do [[ -s $work/port ]] && break; sleep 0.1; done
port=$(head -n1 "$work/port")
[[ $port =~ ^[0-9]+$ ]] || { cat "$work/server.log" >&2; say "serve_pages did not start"; exit 1; }

printf '%-10s %14s %10s %10s\n' places "peak RSS (KB)" seconds recorded
declare -A peak
for n in "${counts[@]}"; do
  folder=$work/p$n
  mkdir -p "$folder/WebSite"
  cp "$build/vantoril" "$folder/"
  for ((i = 0; i < n; i++)); do
    printf 'http://127.0.0.1:%s/p%04d\r\n' "$port" $((i % pages)) >"$folder/WebSite/$(printf '地点%05d' "$i").txt"
  done
  # No display: the program records without a window.
  env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/time -v "$folder/vantoril" --record \
    >"$folder/out" 2>"$folder/time" || { tail -5 "$folder/out" "$folder/time" >&2; exit 1; }
  peak[$n]=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$folder/time")
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$folder/time")
  recorded=$(grep -c $'\t2' "$folder/out" || true)
  printf '%-10s %14s %10s %10s\n' "$n" "${peak[$n]}" "$seconds" "$recorded"
  rm -rf "$folder"
  [[ $recorded == "$n" ]] || { say "only $recorded of $n places were recorded"; exit 1; }
done
# The list of names itself grows with the places (about 100 bytes each);
# anything kept per page would show as megabytes.
awk -v a="${peak[100]}" -v b="${peak[10000]}" 'BEGIN {
  printf "peak at 10,000 places / peak at 100 places: %.2f (%+d KB)\n", b / a, b - a
  if (b - a > 4096) { print "FAIL: peak memory grows with the number of places"; exit 1 }
}'
