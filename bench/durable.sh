#!/usr/bin/env bash
# What the syncs of the write path cost: vantoril --record over 1,000
# places whose addresses are file:// pages (demo/pages), run after run:
#   plain    every place appends one record (no sync: a plain append);
#   landing  every place first has a record waiting in its pending file, so
#            each lands two (note synced, renamed, folder synced; records
#            synced; pending file removed, folder synced; note removed);
# each also under eatmydata, which turns every sync into nothing, so the
# difference is what the syncs cost on this disk.
#
#   bench/durable.sh [build folder]     (default: build beside this folder)
#
# Environment: BENCH_RUNS rounds (default 5). Needs eatmydata for the
# second column (apt-get install eatmydata).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build}
case $build in /*) ;; *) build=$PWD/$build ;; esac
runs=${BENCH_RUNS:-5}
places=1000
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

record=$work/record
mkdir -p "$record/WebSite"
cp "$build/vantoril" "$record/vantoril"
pages=("$root"/demo/pages/*.html)
for ((i = 0; i < places; i++)); do
  printf 'file://%s\r\n' "${pages[i % ${#pages[@]}]}" >"$record/WebSite/$(printf '地点%04d' "$i").txt"
done
recorded=$("$record/vantoril" --record | grep -c $'\t2' || true)
[[ $recorded == "$places" ]] || { say "vantoril --record recorded $recorded of $places places"; exit 1; }
# One record's bytes, to wait in every pending file.
record_bytes=$work/record.bytes
tail -c +15 "$record/WeatherData/地点0000-WeatherData.xls" >"$record_bytes"

nosync=()
command -v eatmydata >/dev/null && nosync=(eatmydata)

declare -A took
for ((round = 0; round <= runs; round++)); do
  for kind in plain landing; do
    for sync in yes no; do
      [[ $sync == no && ${#nosync[@]} == 0 ]] && continue
      if [[ $kind == landing ]]; then
        for f in "$record"/WeatherData/*-WeatherData.xls; do cp "$record_bytes" "${f%.xls}.pending"; done
        sync
      fi
      wrapper=()
      [[ $sync == no ]] && wrapper=("${nosync[@]}")
      now; t0=$REPLY
      "${wrapper[@]}" "$record/vantoril" --record >/dev/null 2>&1 || true
      now
      (( round == 0 )) || took[$kind-$sync]+=" $(( REPLY - t0 ))"
      [[ -z $(find "$record/WeatherData" -name '*.pending' -print -quit) ]] || { say "records still pending"; exit 1; }
    done
  done
done

say "== $places file:// places, median of $runs runs"
for kind in plain landing; do
  # shellcheck disable=SC2086  # the samples are words
  with=$(median ${took[$kind-yes]})
  if [[ -n ${took[$kind-no]:-} ]]; then
    # shellcheck disable=SC2086
    without=$(median ${took[$kind-no]})
    printf '  %-8s %10s ms with syncs %10s ms without  (%s x)\n' "$kind" "$(ms "$with")" "$(ms "$without")" \
      "$(ratio "$with" "$without")"
  else
    printf '  %-8s %10s ms with syncs  (no eatmydata to compare)\n' "$kind" "$(ms "$with")"
  fi
done
