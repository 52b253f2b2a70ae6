#!/usr/bin/env bash
# The recording run against curl fetching the same pages, side by side:
#   first 1,000 places whose addresses are file:// pages on the local disk,
#   the program's own cost per place: vantoril --record against one curl
#   process reading the 1,000 addresses;
#   then a distant site: 200 places whose pages come from 127.0.0.1 with
#   every answer held back 0, 50 and 150 ms, each delay fetched three ways:
#     curl in one process, one page after another over a kept-alive connection;
#     curl --parallel --parallel-max 6, in one process;
#     vantoril --record, which fetches up to 6 pages ahead of the place it is at.
# Targets: the file:// run within 1.3 x curl (the goal 1.2); at every
# delay the run within 1.2 x the parallel curl.
#
#   bench/distant.sh [build folder]     (default: build-bench beside this folder)
#
# The three run in turn, round after round (after one warm-up round), so
# that a burst of load on a shared machine falls on all three alike; each
# figure is the median of its rounds.
#
# Environment: BENCH_PAGES as for bench/run.sh; BENCH_DELAYS (default
# "0 50 150", in ms); BENCH_RUNS rounds per delay (default 3; five times as
# many without delay and for the file:// pages, where a round is short);
# BENCH_FILES=0 leaves out the file:// pages; BENCH_PROGRAM=FILE measures
# that program file instead of the one built (to set two builds side by side).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
places=200
file_places=1000
read -r -a delays <<<"${BENCH_DELAYS:-0 50 150}"
runs=${BENCH_RUNS:-3}
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

build_bench vantoril serve_pages

record=$work/record
mkdir -p "$record"
cp "${BENCH_PROGRAM:-$build/vantoril}" "$record/vantoril"
pages=$(page_folder)

one_by_one() { curl -s --config "$work/curl.conf"; }
parallel() { curl -s --parallel --parallel-max 6 --config "$work/curl.conf"; }
# The data files exist after the first run, as they do for a user who
# records every day: a run appends.
run() { "$record/vantoril" --record; }

# --- file:// pages -------------------------------------------------------------
file_row=""
if [[ ${BENCH_FILES:-1} != 0 ]]; then
  say "== $file_places places, file:// pages"
  files=$work/files
  mkdir -p "$files"
  # The pages the server would give, each in a file of its own.
  start_server --count "$file_places" ${pages:+--pages "$pages"}
  make_catalogue "$record" "$file_places" "$work/fetch.conf"
  awk -v dir="$files" '/^output/ { printf "output = \"%s/p%04d.html\"\n", dir, n++; next } { print }' \
    "$work/fetch.conf" >"$work/fetch-files.conf"
  curl -s --config "$work/fetch-files.conf"
  stop_server
  rm -rf "$record/WebSite" "$record/WeatherData"
  mkdir "$record/WebSite"
  : >"$work/files.conf"
  for ((i = 0; i < file_places; i++)); do
    page=$(printf '%s/p%04d.html' "$files" "$i")
    printf 'file://%s\r\n' "$page" >"$record/WebSite/$(printf '地点%04d' "$i").txt"
    printf 'url = "file://%s"\noutput = "/dev/null"\n' "$page" >>"$work/files.conf"
  done
  page_bytes=$(cat "$files"/p*.html | wc -c)
  recorded=$(run | grep -c $'\t2' || true)
  [[ $recorded == "$file_places" ]] ||
    { say "vantoril --record recorded $recorded of $file_places file:// places"; exit 1; }
  files_curl() { curl -s --config "$work/files.conf"; }
  in_rounds $(( 5 * runs )) files_curl run
  # shellcheck disable=SC2086  # the samples are words
  t_curl=$(median ${took[files_curl]}) t_run=$(median ${took[run]})
  file_row=$(printf '  %-24s %12s ms %12s ms %9s x   %s' "$file_places file:// pages" "$(ms "$t_curl")" \
    "$(ms "$t_run")" "$(ratio "$t_run" "$t_curl")" "<= 1.30 x curl (goal 1.20)")
fi

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
  target="<= 1.20 x parallel"
  rows+=("$(printf '  %6s ms %12s ms %12s ms %12s ms %9s x %9s x   %s' "$delay" "$(ms "$t_one")" \
    "$(ms "$t_parallel")" "$(ms "$t_run")" "$(ratio "$t_run" "$t_one")" "$(ratio "$t_run" "$t_parallel")" "$target")")
done

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
if [[ -n $file_row ]]; then
  printf '\nRecording run over file:// pages (%d KB a page on average; medians of %d rounds)\n' \
    $(( page_bytes / file_places / 1000 )) $(( 5 * runs ))
  printf '  %-24s %15s %15s %11s   %s\n' "" "curl" "vantoril" "run/curl" "target"
  printf '%s\n' "$file_row"
fi
printf '\nRecording run against a distant site: %d places, pages %s\n' "$places" "${pages:-made by serve_pages}"
printf '(%s cores, shared: %s; load %s; medians of %d rounds, %d without delay)\n' "$(nproc)" \
  "${cpu:-cpu unknown}" "$(cut -d' ' -f1-3 /proc/loadavg)" "$runs" $(( 5 * runs ))
printf '  %9s %15s %15s %15s %11s %11s   %s\n' "late by" "curl 1 by 1" "curl parallel" "vantoril" \
  "run/1by1" "run/par" "target"
printf '%s\n' "${rows[@]}"
