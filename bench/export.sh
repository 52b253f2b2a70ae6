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
python3 - "$folder" "$places" "$records" <<'PY'
import datetime, os, shutil, sys
folder, places, records = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
start = datetime.datetime(2025, 1, 1, 8)
out = ["天气数据文件"]
for n in range(records):
    t = start + datetime.timedelta(hours=12 * n)
    out += ["数据记录时间:" + t.strftime("%Y%m%d%H"), "整点\t气温\t降水\t湿度"]
    for r in range(25):
        h = t - datetime.timedelta(hours=24 - r)
        out.append(f"{h.hour:02d}\t{(n * 7 + r * 3) % 400 / 10 - 5:.1f}\t{(r * n) % 13 / 10:.1f}\t{40 + (n + r) % 60}")
    out.append("")
first = f"{folder}/WeatherData/地点000-WeatherData.xls"
open(first, "wb").write(("\r\n".join(out) + "\r\n").encode("gbk"))
for p in range(places):
    name = f"地点{p:03d}"
    open(f"{folder}/WebSite/{name}.txt", "wb").write("http:\r\n".encode("gbk"))
    if p: shutil.copyfile(first, f"{folder}/WeatherData/{name}-WeatherData.xls")
PY
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
