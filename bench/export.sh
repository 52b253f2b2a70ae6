#!/usr/bin/env bash
# The export of 100 places with 730 records each (a year at two runs a day)
# beside `iconv` reading the same data files from GBK to UTF-8, in turns in
# one run, and the peak memory of exports of 10 and of 100 such places
# (/usr/bin/time -v): it must stay that of one place's data.
#
#   bench/export.sh [build folder]     (default: build-bench beside this folder)
#   BENCH_RUNS=N    rounds (default 5)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
runs=${BENCH_RUNS:-5}
places=100
records=730
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

build_bench vantoril

folder=$work/program
mkdir -p "$folder/WebSite" "$folder/WeatherData"
cp "$build/vantoril" "$folder/"
make_recorded_places "$folder" "$places" "$records" "2025-01-01 08"
bytes=$(cat "$folder"/WeatherData/*.xls | wc -c)
say "== $places places × $records records: $((bytes / 1000000)) MB of data files"

read_iconv() { iconv -f GBK -t UTF-8 "$folder"/WeatherData/*.xls >/dev/null; }
export_csv() { (cd "$folder" && ./vantoril --export "$work/all.csv"); }
export_csv >/dev/null || { say "the export failed"; exit 1; }
rows=$(($(wc -l <"$work/all.csv") - 1))
in_rounds "$runs" read_iconv export_csv
t_iconv=$(median ${took[read_iconv]})
t_export=$(median ${took[export_csv]})
say "iconv GBK to UTF-8: $(ms "$t_iconv") ms; --export ($rows rows, $(($(wc -c <"$work/all.csv") / 1000000)) MB): $(ms "$t_export") ms; ratio $(ratio "$t_export" "$t_iconv") (at most 3)"

if [ -x /usr/bin/time ]; then
  peak() { (cd "$folder" && /usr/bin/time -v ./vantoril --export "$work/peak.csv" "$@" 2>&1 >/dev/null) |
    sed -n 's/.*Maximum resident set size (kbytes): //p'; }
  ten=()
  for ((p = 0; p < 10; p++)); do ten+=("$(printf '地点%03d' "$p")"); done
  say "peak memory: 10 places $(peak "${ten[@]}") kB, $places places $(peak) kB"
else
  say "peak memory: /usr/bin/time is not installed"
fi
