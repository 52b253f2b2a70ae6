#!/usr/bin/env bash
# Benchmarks of the program, each beside a baseline:
#   1. start-up with 10,000 places in 100 folders: the list refresh without a
#      window, and the real window under Xvfb, against `find | wc -l`;
#   2. a recording run over 1,000 pages served from 127.0.0.1, against curl
#      fetching the same pages in one process;
#   3. the chart page of a place with 10,000 records: time and size.
#
#   bench/run.sh [build folder]     (default: build-bench beside this folder)
#
# Builds with -DVANTORIL_BENCH=ON, works in a temporary folder that it
# removes, and stops every process it started. Environment:
#   BENCH_PAGES=DIR     serve the *.html pages of DIR (default: demo/pages when
#                       it holds pages, else pages made by serve_pages);
#                       BENCH_PAGES=made always uses made pages
#   BENCH_RUNS=N        runs per start-up measurement (default 7)
#   BENCH_RECORD_RUNS=N runs per recording measurement (default 5)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${1:-$root/build-bench}
case $build in /*) ;; *) build=$PWD/$build ;; esac
runs=${BENCH_RUNS:-7}
record_runs=${BENCH_RECORD_RUNS:-5}
places=10000
folders=100
pages=1000
# shellcheck source=bench/lib.sh
source "$here/lib.sh"

# --- build ------------------------------------------------------------------
build_bench vantoril startup_headless serve_pages record_stages chart_page

. "$here/startup_catalogue.sh"

# --- 1. start-up -----------------------------------------------------------------
say "== start-up: $places places in $folders folders"
startup=$work/startup
make_startup_catalogue "$startup" "$places" "$folders"
cp "$build/vantoril" "$build/vantoril-window.so" "$build/bench/startup_headless" "$startup/"

listed=$("$startup/startup_headless")
[[ $listed == "$places" ]] || { say "startup_headless listed $listed places, not $places"; exit 1; }

find_catalogue() { cd "$startup" && find WebSite -type f | wc -l; }
found=$(find_catalogue)
[[ $found == "$places" ]] || { say "find counted $found files, not $places"; exit 1; }

t_find=$(time_median "$runs" find_catalogue)
t_headless=$(time_median "$runs" "$startup/startup_headless")

# The window is shown only once the start-up has filled the list, so the
# time from the start of the process until the window is visible bounds it.
t_window=""
t_window_empty=""
window_note=""
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  window_note="Xvfb or xdotool missing"
else
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  started+=($!)
  exec 3>&-
  for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
  if [[ ! -s $work/display ]]; then
    window_note="Xvfb did not start"
  else
    export DISPLAY=:$(head -n1 "$work/display")
    # Sets `shown` to the µs until the window of the program in folder $1
    # was visible, or to a reason.
    window_once() {
      local t0 pid tries
      shown=""
      now; t0=$REPLY
      "$1/vantoril" >/dev/null 2>&1 &
      pid=$!
      started+=("$pid")
      for ((tries = 0; tries < 3000; tries++)); do  # at most about 30 s
        if xdotool search --onlyvisible --name '^Vantoril v 1\.0$' >/dev/null 2>&1; then
          now; shown=$(( REPLY - t0 ))
          break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.005
      done
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
      forget "$pid"
      if [[ -z $shown ]]; then
        if (( tries >= 3000 )); then shown="timeout"; else shown="exited"; fi
      fi
    }
    # A start that could not reach the X server (this Xvfb sometimes refuses
    # a connection while xdotool polls it) is tried again, at most 3 times.
    window_try() {
      local k
      for ((k = 0; k < 3; k++)); do
        window_once "$1"
        [[ $shown == exited ]] || return 0
      done
    }
    # The same program with an empty catalogue: what the window costs
    # without the list.
    mkdir -p "$work/empty/WebSite"
    cp "$build/vantoril" "$work/empty/"
    window_try "$startup"  # warm-up
    case $shown in
      exited) window_note="the program ended without showing its window" ;;
      timeout) window_note="no window within 30 s" ;;
      *)
        samples=()
        empty_samples=()
        for ((i = 0; i < runs; i++)); do
          window_try "$startup"
          [[ $shown =~ ^[0-9]+$ ]] || { window_note="a run gave: $shown"; break; }
          samples+=("$shown")
          window_try "$work/empty"
          [[ $shown =~ ^[0-9]+$ ]] || { window_note="a run with no places gave: $shown"; break; }
          empty_samples+=("$shown")
        done
        if [[ -z $window_note ]]; then
          t_window=$(median "${samples[@]}")
          t_window_empty=$(median "${empty_samples[@]}")
        fi
        ;;
    esac
  fi
fi

# --- 2. recording run --------------------------------------------------------------
say "== recording run: $pages pages from 127.0.0.1"
record=$work/record
mkdir -p "$record"
cp "$build/vantoril" "$record/"

page_folder=$(page_folder)

# The data files exist after the first run, as they do for a user who
# records every day: a run appends (creating 1,000 files would measure the
# file system).
record_once() { "$record/vantoril" --record; }
curl_once() { curl -s --config "$work/curl.conf"; }

start_server --count "$pages" ${page_folder:+--pages "$page_folder"}
make_catalogue "$record" "$pages" "$work/curl.conf"
recorded=$(record_once | grep -c $'\t2' || true)  # a recorded place prints its time
if [[ $recorded != "$pages" && -n $page_folder ]]; then
  say "only $recorded of $pages places recorded from the pages of $page_folder; using made pages"
  stop_server
  page_folder=""
  start_server --count "$pages"
  make_catalogue "$record" "$pages" "$work/curl.conf"
  recorded=$(record_once | grep -c $'\t2' || true)
fi
[[ $recorded == "$pages" ]] || { say "vantoril --record recorded $recorded of $pages places"; exit 1; }
read -r fetched connections < <(curl -s --config "$work/curl.conf" -w '%{http_code} %{num_connects}\n' |
  awk '$1 == 200 { ok++ } { c += $2 } END { print ok + 0, c + 0 }')
[[ $fetched == "$pages" ]] || { say "curl fetched $fetched of $pages pages"; exit 1; }
page_bytes=$(sed -n 's/.* pages, \([0-9]*\) bytes.*/\1/p' "$work/server.log")

t_curl=$(time_median "$record_runs" curl_once)
t_record=$(time_median "$record_runs" record_once)
# What a run costs before its first place: loading the program and libcurl.
mkdir -p "$work/none/WebSite"
cp "$build/vantoril" "$work/none/"
t_record_none=$(time_median "$record_runs" "$work/none/vantoril" --record)
stages=""
if (( t_record * 100 > t_curl * 115 )); then
  say "== above the target: timing the steps of a run"
  stages=$("$build/bench/record_stages" "$port" "$pages" "$work/stages")
fi
stop_server

# --- table -----------------------------------------------------------------------------
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
printf '\nVantoril benchmarks  (%s cores, shared: %s; load %s; medians)\n' \
  "$(nproc)" "${cpu:-cpu unknown}" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '\nStart-up, %d places in %d folders (%d runs each)\n' "$places" "$folders" "$runs"
printf '  %-40s %10s ms\n' "find WebSite -type f | wc -l" "$(ms "$t_find")"
printf '  %-40s %10s ms   %6s x find\n' "startup_headless (list filled)" "$(ms "$t_headless")" \
  "$(ratio "$t_headless" "$t_find")"
if [[ -n $t_window ]]; then
  printf '  %-40s %10s ms   %6s x find\n' "vantoril window shown (Xvfb)" "$(ms "$t_window")" \
    "$(ratio "$t_window" "$t_find")"
  printf '  %-40s %10s ms   %6s x find\n' "  same, empty catalogue" "$(ms "$t_window_empty")" \
    "$(ratio "$t_window_empty" "$t_find")"
else
  printf '  %-40s %10s      (%s)\n' "vantoril window shown (Xvfb)" "n/a" "$window_note"
fi
printf '\nRecording run, %d pages (%s MB, %s) from 127.0.0.1 (%d runs each)\n' "$pages" \
  "$(ms $(( page_bytes / 1000 )))" "${page_folder:-made by serve_pages}" "$record_runs"
printf '  %-40s %10s ms   (%s connection(s))\n' "curl, one process, keep-alive" "$(ms "$t_curl")" "$connections"
printf '  %-40s %10s ms   %6s x curl (target <= 1.15)\n' "vantoril --record" "$(ms "$t_record")" \
  "$(ratio "$t_record" "$t_curl")"
printf '  %-40s %10s ms\n' "  same, empty catalogue (start-up only)" "$(ms "$t_record_none")"
if [[ -n $stages ]]; then
  printf '\nSteps of a run over the same %d pages, each timed alone (record_stages)\n%s\n' "$pages" "$stages"
fi
printf '\n'
"$build/bench/chart_page" "$work/chart"
