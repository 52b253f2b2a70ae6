#!/usr/bin/env bash
# What the run lock costs: "vantoril --record" over 200 places served from
# 127.0.0.1, beside the same program built with a lock that is always free
# (vantoril_unlocked), each in a program folder of its own. The two run in
# turn, round after round after a warm-up round, first one then the other
# going first, so that load on a shared machine falls on both alike; each
# figure is the median of its rounds, the ratio the median of the rounds'
# own ratios.
#
#   bench/run_lock.sh [build folder]     (default: build-bench beside this folder)
#
# Environment: BENCH_PAGES as for bench/run.sh; BENCH_RUNS rounds (default 30).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
places=200
runs=${BENCH_RUNS:-30}
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
# One round: both, in an order that changes from round to round; sets t_a
# and t_b to the µs of each.
round() {  # first second
  local t0
  now; t0=$REPLY; "$1" >/dev/null 2>&1 || true; now; t_a=$(( REPLY - t0 ))
  now; t0=$REPLY; "$2" >/dev/null 2>&1 || true; now; t_b=$(( REPLY - t0 ))
}
samples_locked=() samples_unlocked=() ratios=()
for ((n = 0; n <= runs; n++)); do
  if (( n % 2 == 0 )); then round locked unlocked; t_l=$t_a t_u=$t_b; else round unlocked locked; t_u=$t_a t_l=$t_b; fi
  (( n == 0 )) && continue  # warm-up
  samples_locked+=("$t_l") samples_unlocked+=("$t_u")
  ratios+=($(( t_l * 1000 / t_u )))  # per mille, round by round
done
stop_server

t_locked=$(median "${samples_locked[@]}") t_unlocked=$(median "${samples_unlocked[@]}") r=$(median "${ratios[@]}")
printf '\nThe run lock: vantoril --record over %d places from loopback, medians of %d rounds (load %s)\n' \
  "$places" "$runs" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  with the lock     %10s ms\n  without the lock  %10s ms\n' "$(ms "$t_locked")" "$(ms "$t_unlocked")"
printf '  with / without    %10s x   (median of the rounds'"'"' own ratios)\n' "$(ratio "$r" 1000)"
