#!/usr/bin/env bash
# Start-up of the window over 10,000 places in 100 folders: the Windows
# program under wine beside the Linux (Qt) program on the same catalogue,
# each timed from process start until its window is visible on Xvfb, and
# both again with an empty catalogue (what the window costs without the list).
#   bench/win32_startup.sh [Windows build folder] [Linux build folder]
# (default build-win and build beside this folder; both must be built). The
# wine prefix is that of scripts/wine.sh in the Windows build folder.
# Environment: BENCH_RUNS=N runs per measurement (default 5, after one warm-up).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
win_build=$(cd "${1:-$root/build-win}" && pwd)
linux_build=$(cd "${2:-$root/build}" && pwd)
runs=${BENCH_RUNS:-5}
places=10000
folders=100
[[ -x $win_build/vantoril.exe && -x $linux_build/vantoril ]] || { echo "build both programs first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-win32-startup.XXXXXX")
xvfb=""
app=""
cleanup() {
  [[ -z $app ]] || { kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; } || true
  [[ -z $xvfb ]] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

now() { local t=$EPOCHREALTIME; REPLY=${t//[.,]/}; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
ms() { printf '%d.%d' $(( $1 / 1000 )) $(( ($1 % 1000) / 100 )); }
ratio() { printf '%d.%02d' $(( $1 / $2 )) $(( ($1 % $2) * 100 / $2 )); }

# Two program folders, one with the catalogue (as bench/run.sh makes it), one empty.
for kind in full empty; do
  mkdir -p "$work/$kind/WebSite"
  cp "$win_build/vantoril.exe" "$linux_build/vantoril" "$linux_build/vantoril-window.so" "$work/$kind/"
done
. "$here/startup_catalogue.sh"
make_startup_catalogue "$work/full" "$places" "$folders"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$work/display")
"$root/scripts/wine.sh" "$win_build" start || true  # fails when its wineserver is already up
export WINEPREFIX=$win_build/wine/prefix WINEDEBUG=-all LOCPATH=$win_build/wine/locale WINEDLLOVERRIDES="mscoree,mshtml="

# µs from the start of `$@` (run in folder $1) until its window is visible.
shown_after() {
  local folder=$1 t0 i
  shift
  now; t0=$REPLY
  (cd "$folder" && exec "$@") >/dev/null 2>&1 &
  app=$!
  for ((i = 0; i < 12000; i++)); do  # at most about a minute
    if xdotool search --onlyvisible --name '^Vantoril v 1\.0$' >/dev/null 2>&1; then
      now; REPLY=$(( REPLY - t0 ))
      break
    fi
    sleep 0.005
  done
  (( i < 12000 )) || { echo "no window from $*" >&2; exit 1; }
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
  # The next start must not see this window still going.
  while xdotool search --onlyvisible --name '^Vantoril v 1\.0$' >/dev/null 2>&1; do sleep 0.05; done
}
measure() {
  local samples=() i
  shown_after "$@"
  for ((i = 0; i < runs; i++)); do shown_after "$@"; samples+=("$REPLY"); done
  median "${samples[@]}"
}

wine_full=$(measure "$work/full" env LC_ALL=zh_CN.UTF-8 wine vantoril.exe)
wine_empty=$(measure "$work/empty" env LC_ALL=zh_CN.UTF-8 wine vantoril.exe)
qt_full=$(measure "$work/full" ./vantoril)
qt_empty=$(measure "$work/empty" ./vantoril)

printf '\nWindow shown, %d places in %d folders (Xvfb, %d runs each, medians; %s cores, load %s)\n' \
  "$places" "$folders" "$runs" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-42s %9s ms\n' "Linux, Qt window" "$(ms "$qt_full")"
printf '  %-42s %9s ms   %6s x Linux\n' "Windows program under wine, Win32 window" "$(ms "$wine_full")" \
  "$(ratio "$wine_full" "$qt_full")"
printf '  %-42s %9s ms\n' "  Linux, empty catalogue" "$(ms "$qt_empty")"
printf '  %-42s %9s ms   %6s x Linux\n' "  wine, empty catalogue" "$(ms "$wine_empty")" \
  "$(ratio "$wine_empty" "$qt_empty")"
printf '  %-42s %9s ms   %6s x Linux\n' "  the catalogue's share, wine" "$(ms $(( wine_full - wine_empty )))" \
  "$(ratio $(( wine_full - wine_empty > 0 ? wine_full - wine_empty : 0 )) $(( qt_full - qt_empty > 0 ? qt_full - qt_empty : 1 )))"
