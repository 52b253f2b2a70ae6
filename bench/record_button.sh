#!/usr/bin/env bash
# The record button beside the run without a window, over the same 1,000
# places whose pages are file:// pages (the demo pages, 70 to 80 KB each):
#   vantoril --record       from the start of the process to its end;
#   the record button       in a window open on Xvfb, from the click to the
#                           run's summary line in the run log.
# The Linux program (Qt window) and, when the Windows build is there, the
# Windows program under wine (Win32 window), in turn round after round
# (after one warm-up round), so that load on a shared machine falls on all
# alike; the medians are printed with the window's share over the run.
#
#   bench/record_button.sh [Linux build folder] [Windows build folder]
#
# Defaults: build and build-win beside this folder (the Windows half is
# left out when build-win holds no vantoril.exe). Environment: BENCH_RUNS
# rounds (default 5); BENCH_PLACES places (default 1000).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
linux_build=$(cd "${1:-$root/build}" && pwd)
win_build=${2:-$root/build-win}
runs=${BENCH_RUNS:-5}
places=${BENCH_PLACES:-1000}
[[ -x $linux_build/vantoril && -e $linux_build/vantoril-window.so ]] || { echo "build the Linux program first" >&2; exit 1; }
wine_too=""
if [[ -x $win_build/vantoril.exe ]]; then
  win_build=$(cd "$win_build" && pwd)
  wine_too=1
fi
for tool in Xvfb xdotool; do command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }; done

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-record-button.XXXXXX")
xvfb="" qt="" win="" wine_session=""
cleanup() {
  local pid
  for pid in "$qt" "$win"; do [[ -z $pid ]] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true; done
  [[ -z $wine_session ]] || "$root/scripts/wine.sh" "$win_build" stop
  [[ -z $xvfb ]] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

now() { local t=$EPOCHREALTIME; REPLY=${t//[.,]/}; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
ms() { printf '%d.%d' $(( $1 / 1000 )) $(( ($1 % 1000) / 100 )); }
ratio() { printf '%d.%02d' $(( $1 / $2 )) $(( ($1 % $2) * 100 / $2 )); }

# The pages, one file per place.
demo=("$root"/demo/pages/*.html)
[[ -f ${demo[0]} ]] || { echo "no demo pages in $root/demo/pages" >&2; exit 1; }
mkdir -p "$work/pages"
for ((i = 0; i < places; i++)); do
  ln "${demo[i % ${#demo[@]}]}" "$work/pages/p$i.html" 2>/dev/null || cp "${demo[i % ${#demo[@]}]}" "$work/pages/p$i.html"
done

# Program folders: linux-run, linux-window, and wine-run, wine-window.
sides=(linux)
[[ -z $wine_too ]] || sides+=(wine)
for side in "${sides[@]}"; do
  for kind in run window; do
    folder=$work/$side-$kind
    mkdir -p "$folder/WebSite"
    if [[ $side == linux ]]; then
      cp "$linux_build/vantoril" "$linux_build/vantoril-window.so" "$folder/"
      prefix="file://"
    else
      cp "$win_build/vantoril.exe" "$folder/"
      prefix="file:///Z:"  # wine's drive Z: is /
    fi
    for ((i = 0; i < places; i++)); do
      printf '%s%s/pages/p%d.html\r\n' "$prefix" "$work" "$i" >"$folder/WebSite/$(printf '地点%04d' "$i").txt"
    done
  done
done

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1200x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
if [[ -n $wine_too ]]; then
  # The prefix made without a display, then a session of its own on this X
  # server (as bench/win32_startup.sh does).
  "$root/scripts/wine.sh" "$win_build" start
  "$root/scripts/wine.sh" "$win_build" stop
  wine_session=1
  export WINEPREFIX=$win_build/wine/prefix WINEDEBUG=-all LOCPATH=$win_build/wine/locale WINEDLLOVERRIDES="mscoree,mshtml="
fi
wine=(env LC_ALL=zh_CN.UTF-8 wine)

# The summary line of the last run in FOLDER's run log, and its count of recorded places.
recorded() { tr -d '\r' <"$1/vantoril.log" | grep $'\t运行结束\t' | tail -n 1 | sed -n 's/.*\t记录 \([0-9]*\)\t.*/\1/p'; }

linux-run() { (cd "$work/linux-run" && exec ./vantoril --record); }
wine-run() { (cd "$work/wine-run" && exec "${wine[@]}" vantoril.exe --record); }

# Opens the window of SIDE at y = TOP, apart from the other one; sets `window`.
open_window() {  # side top
  local folder=$work/$1-window
  if [[ $1 == linux ]]; then
    (cd "$folder" && exec ./vantoril) >"$work/$1.log" 2>&1 &
    qt=$!
  else
    (cd "$folder" && exec "${wine[@]}" vantoril.exe) >"$work/$1.log" 2>&1 &
    win=$!
  fi
  window=""
  for ((i = 0; i < 600 && ${#window} == 0; i++)); do  # at most about 60 s
    window=$(xdotool search --onlyvisible --name '^Vantoril v 1\.0$' 2>/dev/null | grep -vx "${qt_window:-none}" | head -n 1) ||
      sleep 0.1
  done
  [[ -n $window ]] || { echo "no window from the $1 program: $(tail -n 5 "$work/$1.log")" >&2; exit 1; }
  xdotool windowmove --sync "$window" 0 "$2" 2>/dev/null || xdotool windowmove "$window" 0 "$2"
  sleep 2
}
open_window linux 0
qt_window=$window
[[ -z $wine_too ]] || { open_window wine 600; wine_window=$window; }

# Clicks the record button of WINDOW (in FOLDER) and waits up to 5 minutes
# for the run's summary line; REPLY is the µs from the click.
click_record() {  # window folder
  local log=$2/vantoril.log t0 i
  : >"$log"
  now; t0=$REPLY
  xdotool mousemove --window "$1" 132 332 click 1  # the middle of Command1
  for ((i = 0; i < 60000; i++)); do
    grep -q $'\t运行结束\t' "$log" && break
    sleep 0.005
  done
  now; REPLY=$(( REPLY - t0 ))
  (( i < 60000 )) || { echo "no summary line within 5 minutes in $log" >&2; exit 1; }
  sleep 1  # the window settles before the next measurement
}
linux-window() { click_record "$qt_window" "$work/linux-window"; }
wine-window() { click_record "$wine_window" "$work/wine-window"; }

commands=()
for side in "${sides[@]}"; do commands+=("$side-run" "$side-window"); done
declare -A took
for ((round = 0; round <= runs; round++)); do
  for command in "${commands[@]}"; do
    if [[ $command == *-window ]]; then
      "$command"
    else
      now; t0=$REPLY
      "$command" >/dev/null 2>&1 || true
      now; REPLY=$(( REPLY - t0 ))
    fi
    # Every place recorded, each time.
    got=$(recorded "$work/$command")
    [[ $got == "$places" ]] || { echo "$command recorded ${got:-no} places of $places" >&2; exit 1; }
    (( round == 0 )) || took[$command]+=" $REPLY"
  done
done

printf '\nThe record button beside vantoril --record, %d file:// places (Xvfb; medians of %d rounds; %s cores, load %s)\n' \
  "$places" "$runs" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-44s %10s %10s %8s\n' "" "--record" "button" "button/run"
for side in "${sides[@]}"; do
  # shellcheck disable=SC2086  # the samples are words
  t_run=$(median ${took[$side-run]})
  # shellcheck disable=SC2086
  t_window=$(median ${took[$side-window]})
  label="Linux, Qt window"
  [[ $side == linux ]] || label="Windows program under wine, Win32 window"
  printf '  %-44s %7s ms %7s ms %8s x   (target <= 1.50)\n' "$label" "$(ms "$t_run")" "$(ms "$t_window")" \
    "$(ratio "$t_window" "$t_run")"
done
