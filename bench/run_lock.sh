#!/usr/bin/env bash
# What the run lock costs: "vantoril --record" over 200 places served from
# 127.0.0.1, beside the same program built with a lock that is always free
# (vantoril_unlocked), each in a program folder of its own. The two run in
# turn, round after round after a warm-up round, so that load on a shared
# machine falls on both alike; each figure is the median of its rounds.
#
#   bench/run_lock.sh [build folder]     (default: build-bench beside this folder)
#
# Environment: BENCH_PAGES as for bench/run.sh; BENCH_RUNS rounds (default 15).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
places=200
runs=${BENCH_RUNS:-15}
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

build_bench vantoril vantoril_unlocked serve_pages

pages=$(page_folder)
start_server --count "$places" ${pages:+--pages "$pages"}
mkdir -p "$work/locked" "$work/unlocked"
cp "$build/vantoril" "$work/locked/vantoril"
cp "$build/bench/vantoril_unlocked" "$work/unlocked/vantoril"
for kind in locked unlocked; do
  make_catalogue "$work/$kind" "$places" "$work/curl.conf"
  recorded=$("$work/$kind/vantoril" --record | grep -c $'\t2' || true)  # a recorded place prints its time
  [[ $recorded == "$places" ]] || { say "$kind: recorded $recorded of $places places"; exit 1; }
done

locked() { "$work/locked/vantoril" --record; }
unlocked() { "$work/unlocked/vantoril" --record; }
samples_locked=() samples_unlocked=()
for ((round = 0; round <= runs; round++)); do
  for kind in locked unlocked; do
    now; t0=$REPLY
    "$kind" >/dev/null 2>&1 || true
    now
    (( round == 0 )) && continue
    if [[ $kind == locked ]]; then samples_locked+=($(( REPLY - t0 ))); else samples_unlocked+=($(( REPLY - t0 ))); fi
  done
done
stop_server

t_locked=$(median "${samples_locked[@]}") t_unlocked=$(median "${samples_unlocked[@]}")
printf '\nThe run lock: vantoril --record over %d places from loopback, medians of %d rounds (load %s)\n' \
  "$places" "$runs" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  with the lock     %10s ms\n  without the lock  %10s ms\n  ratio             %10s x\n' \
  "$(ms "$t_locked")" "$(ms "$t_unlocked")" "$(ratio "$t_locked" "$t_unlocked")"
