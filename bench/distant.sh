#!/usr/bin/env bash
# A recording run against a distant site: 200 places whose pages come from
# 127.0.0.1 with every answer held back 0, 50 and 150 ms. For each delay, the
# same 200 pages fetched three ways, with the ratios side by side:
#   curl in one process, one page after another over a kept-alive connection;
#   curl --parallel --parallel-max 6, in one process;
#   vantoril --record, which fetches up to 6 pages ahead of the place it is at.
# Targets: at 50 and 150 ms the run within 1.2 x the parallel curl; at 0 ms
# within 1.25 x the one-after-another curl.
#
#   bench/distant.sh [build folder]     (default: build-bench beside this folder)
#
# The three run in turn, round after round (after one warm-up round), so
# that a burst of load on a shared machine falls on all three alike; each
# figure is the median of its rounds.
#
# Environment: BENCH_PAGES as for bench/run.sh; BENCH_DELAYS (default
# "0 50 150", in ms); BENCH_RUNS rounds per delay (default 3; five times as
# many without delay, where a round is short).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
places=200
read -r -a delays <<<"${BENCH_DELAYS:-0 50 150}"
runs=${BENCH_RUNS:-3}
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

say "== building in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DVANTORIL_BENCH=ON >"$build/bench-configure.log" 2>&1 ||
  { cat "$build/bench-configure.log" >&2; exit 1; }
ninja -C "$build" -j2 vantoril serve_pages >&2

record=$work/record
mkdir -p "$record"
cp "$build/vantoril" "$record/"
pages=$(page_folder)

one_by_one() { curl -s --config "$work/curl.conf"; }
parallel() { curl -s --parallel --parallel-max 6 --config "$work/curl.conf"; }
# The data files exist after the first run, as they do for a user who
# records every day: a run appends.
run() { "$record/vantoril" --record; }

# Runs the commands given in turn, N rounds after a warm-up round, and
# sets took[command] to the µs of each round.
declare -A took
in_rounds() {  # N command...
  local n=$1 round command t0
  shift
  for command; do took[$command]=""; done
  for ((round = 0; round <= n; round++)); do
    for command; do
      now; t0=$REPLY
      "$command" >/dev/null 2>&1 || true
      now
      (( round == 0 )) || took[$command]+=" $(( REPLY - t0 ))"
    done
  done
}

rows=()
for delay in "${delays[@]}"; do
  say "== every answer $delay ms late"
  start_server --count "$places" --delay "$delay" ${pages:+--pages "$pages"}
  make_catalogue "$record" "$places" "$work/curl.conf"
  recorded=$(run | grep -c $'\t2' || true)  # a recorded place prints its time
  [[ $recorded == "$places" ]] ||
    { say "vantoril --record recorded $recorded of $places places${pages:+ from $pages (try BENCH_PAGES=made)}"; exit 1; }
  in_rounds $(( delay == 0 ? 5 * runs : runs )) one_by_one parallel run
  # shellcheck disable=SC2086  # the samples are words
  t_one=$(median ${took[one_by_one]}) t_parallel=$(median ${took[parallel]}) t_run=$(median ${took[run]})
  stop_server
  if (( delay == 0 )); then target="<= 1.25 x one by one"; else target="<= 1.20 x parallel"; fi
  rows+=("$(printf '  %6s ms %12s ms %12s ms %12s ms %9s x %9s x   %s' "$delay" "$(ms "$t_one")" \
    "$(ms "$t_parallel")" "$(ms "$t_run")" "$(ratio "$t_run" "$t_one")" "$(ratio "$t_run" "$t_parallel")" "$target")")
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
printf '\nRecording run against a distant site: %d places, pages %s\n' "$places" "${pages:-made by serve_pages}"
printf '(%s cores, shared: %s; load %s; medians of %d rounds, %d without delay)\n' "$(nproc)" \
  "${cpu:-cpu unknown}" "$(cut -d' ' -f1-3 /proc/loadavg)" "$runs" $(( 5 * runs ))
printf '  %9s %15s %15s %15s %11s %11s   %s\n' "late by" "curl 1 by 1" "curl parallel" "vantoril" \
  "run/1by1" "run/par" "target"
printf '%s\n' "${rows[@]}"
