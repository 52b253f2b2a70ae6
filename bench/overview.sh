#!/usr/bin/env bash
# The overview page (--overview) of 100 places with 730 records each (a year
# at two runs a day, ending now) beside the hourly export (--export) of the
# same data files, in turns in one run (at most 2 × the export); then the
# page as the end of a scheduled run of 20 such places writes it, beside the
# same program's start with nothing to do (--version): what the page adds to
# the run (at most 50 ms).
#
#   bench/overview.sh [build folder]     (default: build-bench beside this folder)
#   BENCH_RUNS=N    rounds (default 5)
#   BENCH_PROGRAM=FILE  times that program instead of building one
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
runs=${BENCH_RUNS:-5}
records=730
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

program=${BENCH_PROGRAM:-}
if [ -z "$program" ]; then
  build_bench vantoril
  program=$build/vantoril
fi

# A program folder of N places, their records ending at this hour (Beijing time).
make_places() {  # folder count
  make_recorded_places "$1" "$2" "$records" now
  cp "$program" "$1/vantoril"
}

many=$work/many
few=$work/few
make_places "$many" 100
make_places "$few" 20
say "== 100 places × $records records: $(($(cat "$many"/WeatherData/*.xls | wc -c) / 1000000)) MB of data files"

export_csv() { (cd "$many" && ./vantoril --export "$work/all.csv"); }
overview_100() { (cd "$many" && ./vantoril --overview); }
overview_20() { (cd "$few" && ./vantoril --overview); }
start_only() { (cd "$few" && ./vantoril --version); }
export_csv >/dev/null && overview_100 >/dev/null || { say "the export or the overview failed"; exit 1; }
grep -q '地点099' "$many/WeatherData/一览.html" || { say "the overview misses a place"; exit 1; }
in_rounds "$runs" export_csv overview_100 overview_20 start_only
t_export=$(median ${took[export_csv]})
t_100=$(median ${took[overview_100]})
t_20=$(median ${took[overview_20]})
t_start=$(median ${took[start_only]})
say "--export of 100 places: $(ms "$t_export") ms; --overview of 100 places: $(ms "$t_100") ms; ratio $(ratio "$t_100" "$t_export") (at most 2)"
say "--overview of 20 places: $(ms "$t_20") ms; the program's start alone: $(ms "$t_start") ms; the page costs a run $(ms $((t_20 - t_start))) ms (at most 50)"
# The processor time of the same (user and system, of 20 runs each): on a
# machine shared with other work, what the page itself costs.
cpu_ms() {  # folder option
  python3 - "$1" "$2" <<'PY'
import os, resource, subprocess, sys
folder, option = sys.argv[1:]
before = resource.getrusage(resource.RUSAGE_CHILDREN)
for _ in range(20):
    subprocess.run(["./vantoril", option], cwd=folder, stdout=subprocess.DEVNULL, check=True)
after = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) / 20 * 1000:.1f}")
PY
}
c_20=$(cpu_ms "$few" --overview)
c_start=$(cpu_ms "$few" --version)
c_100=$(cpu_ms "$many" --overview)
say "processor time: --overview of 20 places $c_20 ms, the start alone $c_start ms, of 100 places $c_100 ms"
