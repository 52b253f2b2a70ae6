#!/usr/bin/env bash
# Start-up of the window over 10,000 places in 100 folders: the Windows
# program under wine beside the Linux (Qt) program on the same catalogue,
# each timed from process start until its window is visible on Xvfb, and
# both again with an empty catalogue (what the window costs without the list),
# and wine's own floor: a Windows program that shows one window and nothing
# else (bench/win32_floor_window.c), alone and with as many plain controls as
# the program's window has, the latter also with the program's own manifest
# (bench/win32_floor_window.rc: the common controls of version 6 and the DPI
# awareness), the floor the program is held to (within 1.4 x). The programs are stripped as the packages ship
# them (under wine an image's debug sections are read at every start). The
# window counts as shown when the X server maps it: one xev reports the map,
# so that nothing polls beside the programs timed. A wine program is kept
# open throughout, as Windows keeps its desktop: wine's desktop process
# otherwise ends a second after the last wine program and the next start
# pays for a new one.
#   bench/win32_startup.sh [Windows build folder] [Linux build folder]
# (default build-win and build beside this folder; both must be built). The
# wine prefix is that of scripts/wine.sh in the Windows build folder.
# Environment: BENCH_RUNS=N runs per measurement (default 9, after one warm-up).
# BENCH_VARIANTS=1 also times, in the same rounds, what each part of the
# manifest and the folder watch cost: the floor with the manifest's common
# controls only, with its DPI awareness only, and with the whole manifest
# and a watch of the catalogue begun once shown; the program with its
# embedded manifest's DPI awareness, and its common controls, blanked out
# (spaces over the same bytes). BENCH_ALSO="FILE..." also times other
# builds of vantoril.exe (with one part left out, say) over the catalogue.
# Each of these is printed beside its base (the floor with 39 controls, or
# the program) as the median of the rounds' differences. Last, for each, the
# processor time its process had until its window was mapped (it is stopped
# as the map is seen): what a start costs whatever else the machine runs,
# which on a loaded machine the wall times do not tell apart.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
win_build=$(cd "${1:-$root/build-win}" && pwd)
linux_build=$(cd "${2:-$root/build}" && pwd)
runs=${BENCH_RUNS:-9}
places=10000
folders=100
[[ -x $win_build/vantoril.exe && -x $linux_build/vantoril ]] || { echo "build both programs first" >&2; exit 1; }
command -v x86_64-w64-mingw32-gcc >/dev/null || { echo "x86_64-w64-mingw32-gcc is needed for wine's floor" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-win32-startup.XXXXXX")
xvfb=""
app=""
kept=""
xev=""
wine_session=""
cleanup() {
  local pid
  for pid in "$app" "$kept" "$xev"; do
    [[ -z $pid ]] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; } || true
  done
  # The session ends with its X server.
  [[ -z $wine_session ]] || "$root/scripts/wine.sh" "$win_build" stop
  [[ -z $xvfb ]] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

now() { local t=$EPOCHREALTIME; REPLY=${t//[.,]/}; }
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
fastest() { printf '%s\n' "$@" | sort -n | head -n 1; }
ms() { printf '%d.%d' $(( $1 / 1000 )) $(( ($1 % 1000) / 100 )); }
ratio() { printf '%d.%02d' $(( $1 / $2 )) $(( ($1 % $2) * 100 / $2 )); }

# Two program folders, one with the catalogue (as bench/run.sh makes it), one empty.
for kind in full empty; do
  mkdir -p "$work/$kind/WebSite"
  x86_64-w64-mingw32-strip -o "$work/$kind/vantoril.exe" "$win_build/vantoril.exe"
  cp "$linux_build/vantoril" "$linux_build/vantoril-window.so" "$work/$kind/"
  strip --strip-unneeded "$work/$kind/vantoril" "$work/$kind/vantoril-window.so"
done
# shellcheck source=bench/startup_catalogue.sh disable=SC1091  # followed by shellcheck -x from the top folder
. "$here/startup_catalogue.sh"
make_startup_catalogue "$work/full" "$places" "$folders"
mkdir -p "$work/floor"
x86_64-w64-mingw32-gcc -O2 -mwindows -municode -Wall -Wextra -Werror -o "$work/floor/win32_floor_window.exe" \
  "$here/win32_floor_window.c"
x86_64-w64-mingw32-windres -I "$root/resources" -O coff -o "$work/floor/manifest.o" "$here/win32_floor_window.rc"
x86_64-w64-mingw32-gcc -O2 -mwindows -municode -Wall -Wextra -Werror -o "$work/floor/win32_floor_manifest.exe" \
  "$here/win32_floor_window.c" "$work/floor/manifest.o"
# The measurements beside the seven: label, window title, folder, then the
# command's words, the fields apart by the unit separator.
extra=()
add_extra() { local IFS=$'\x1f'; extra+=("$*"); }
read -r -a also <<<"${BENCH_ALSO:-}"
for ((k = 0; k < ${#also[@]}; k++)); do
  x86_64-w64-mingw32-strip -o "$work/full/also$k.exe" "${also[k]}"
  add_extra "$(basename "${also[k]}") | program" "Vantoril v 1.0" "$work/full" env LC_ALL=zh_CN.UTF-8 wine "also$k.exe"
done
if [[ -n ${BENCH_VARIANTS:-} ]]; then
  # The manifest's parts, each blanked out with spaces of the same length:
  # the program's embedded one can then be changed in place.
  declare -A parts=([dpi]='<application xmlns="urn:schemas-microsoft-com:asm.v3">.*?</application>'
                    [controls]='<dependency>.*?</dependency>')
  without() {  # without PATTERN IN OUT: fails unless the part was there
    perl -0777 -pe "\$n += s{$1}{' ' x length(\$&)}gse; END { exit(\$n != 1) }" "$2" >"$3"
  }
  for part in dpi controls; do
    mkdir -p "$work/floor/$part"
    without "${parts[$part]}" "$root/resources/vantoril.manifest" "$work/floor/$part/vantoril.manifest"
    x86_64-w64-mingw32-windres -I "$work/floor/$part" -O coff -o "$work/floor/$part/manifest.o" "$here/win32_floor_window.rc"
    x86_64-w64-mingw32-gcc -O2 -mwindows -municode -o "$work/floor/without_$part.exe" "$here/win32_floor_window.c" \
      "$work/floor/$part/manifest.o"
    without "${parts[$part]}" "$work/full/vantoril.exe" "$work/full/without_$part.exe"
    chmod +x "$work/full/without_$part.exe"
  done
  add_extra "floor + manifest without its DPI | floor" "Vantoril floor" "$work/floor" \
    env LC_ALL=zh_CN.UTF-8 wine without_dpi.exe "Vantoril floor" controls
  add_extra "floor + manifest without v6 controls | floor" "Vantoril floor" "$work/floor" \
    env LC_ALL=zh_CN.UTF-8 wine without_controls.exe "Vantoril floor" controls
  add_extra "floor + manifest + the folder watch | floor" "Vantoril floor" "$work/floor" \
    env LC_ALL=zh_CN.UTF-8 wine win32_floor_manifest.exe "Vantoril floor" controls 'Z:'"${work//\//\\}"'\full\WebSite'
  add_extra "program without its DPI | program" "Vantoril v 1.0" "$work/full" \
    env LC_ALL=zh_CN.UTF-8 wine without_dpi.exe
  add_extra "program without v6 controls | program" "Vantoril v 1.0" "$work/full" \
    env LC_ALL=zh_CN.UTF-8 wine without_controls.exe
fi

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for ((i = 0; i < 100; i++)); do [[ -s $work/display ]] && break; sleep 0.1; done
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
# The prefix made (scripts/wine.sh, without a display), then a wine session
# of its own on this X server: wine's desktop process, which every window
# needs, keeps the display of whoever started the session, and a session
# left by the tests or by scripts/wine.sh has none.
"$root/scripts/wine.sh" "$win_build" start
"$root/scripts/wine.sh" "$win_build" stop
wine_session=1
export WINEPREFIX=$win_build/wine/prefix WINEDEBUG=-all LOCPATH=$win_build/wine/locale WINEDLLOVERRIDES="mscoree,mshtml="

wine=(env LC_ALL=zh_CN.UTF-8 wine)
caption="Vantoril v 1.0"
floor=(win32_floor_window.exe "Vantoril floor")
floor_manifest_command=(win32_floor_manifest.exe "${floor[1]}")
# What the X server does with the top-level windows: their maps among it
# (menus and tooltips are mapped "override YES").
mkfifo "$work/maps"
stdbuf -oL xev -root -event substructure >"$work/maps" 2>/dev/null &
xev=$!
exec 4<"$work/maps"
(cd "$work/floor" && exec "${wine[@]}" "${floor[0]}" "wine's desktop kept") >/dev/null 2>&1 &
kept=$!
mapped=""
next_map() {  # waits up to $1 s for the next top-level window mapped; sets `mapped` to it
  local line map=""
  while read -r -t "$1" line <&4; do
    # A map is told on two lines, the second ending "override NO|YES".
    if [[ $line == MapNotify* ]]; then
      map=1
      continue
    fi
    [[ -n $map ]] || continue
    map=""
    [[ $line == *"override NO"* ]] || continue
    mapped=${line%%, override*}
    mapped=${mapped##*window }
    return 0
  done
  return 1
}
next_map 60 || { echo "wine's desktop kept: no window" >&2; exit 1; }

# µs of processor time this shell's finished children have had (`times`,
# whose second line is theirs: user, then system, as 0m0.123s).
seconds_us() { local t=${1%s} m s; m=${t%%m*}; s=${t#*m}; REPLY=$(( m * 60000000 + 10#${s%.*} * 1000000 + 10#${s#*.} * 1000 )); }
children_cpu() {
  local user system
  times >"$work/times"
  { read -r _; read -r user system; } <"$work/times"
  seconds_us "$user"; CPU=$REPLY
  seconds_us "$system"; CPU=$(( CPU + REPLY ))
}
# µs from the start of `$@` (run in folder $2) until its window, titled $1,
# is mapped; and in CPU the processor time it had until then (stopped as
# soon as the map is seen, so little of what it does after counts).
shown_after() {
  local title=$1 folder=$2 t0 cpu0 shown
  shift 2
  children_cpu; cpu0=$CPU
  now; t0=$REPLY
  (cd "$folder" && exec "$@") >"$work/program.log" 2>&1 &
  app=$!
  next_map 60 || { echo "no window from $*; its output: $(tail -n 5 "$work/program.log")" >&2; exit 1; }
  now; shown=$(( REPLY - t0 ))
  kill -STOP "$app" 2>/dev/null || true
  # The window mapped is the one asked for.
  local name
  name=$(xprop -id "$mapped" WM_NAME 2>/dev/null)
  [[ $name == *"\"$title\""* ]] || { echo "the first window of $* is not \"$title\": $name" >&2; exit 1; }
  kill "$app" 2>/dev/null || true
  kill -CONT "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
  children_cpu; CPU=$(( CPU - cpu0 )) REPLY=$shown
  # Nothing of this start is left to be mapped in the next one's time.
  while next_map 0.3; do :; done
}
# One start of each to warm up, then the seven in turn, so that a change of
# the machine's load falls on all of them alike.
extra_runs=() extra_cpu=() wine_full_cpu=() wine_empty_cpu=() qt_full_cpu=() qt_empty_cpu=() floor_cpu=()
floor_controls_cpu=() floor_manifest_cpu=() wine_full_runs=() wine_empty_runs=() qt_full_runs=() qt_empty_runs=() floor_runs=() floor_controls_runs=() floor_manifest_runs=()
for ((i = 0; i <= runs; i++)); do
  shown_after "$caption" "$work/full" "${wine[@]}" vantoril.exe
  ((i == 0)) || { wine_full_runs+=("$REPLY"); wine_full_cpu+=("$CPU"); }
  shown_after "$caption" "$work/empty" "${wine[@]}" vantoril.exe
  ((i == 0)) || { wine_empty_runs+=("$REPLY"); wine_empty_cpu+=("$CPU"); }
  shown_after "$caption" "$work/full" ./vantoril
  ((i == 0)) || { qt_full_runs+=("$REPLY"); qt_full_cpu+=("$CPU"); }
  shown_after "$caption" "$work/empty" ./vantoril
  ((i == 0)) || { qt_empty_runs+=("$REPLY"); qt_empty_cpu+=("$CPU"); }
  shown_after "${floor[1]}" "$work/floor" "${wine[@]}" "${floor[@]}"
  ((i == 0)) || { floor_runs+=("$REPLY"); floor_cpu+=("$CPU"); }
  shown_after "${floor[1]}" "$work/floor" "${wine[@]}" "${floor[@]}" controls
  ((i == 0)) || { floor_controls_runs+=("$REPLY"); floor_controls_cpu+=("$CPU"); }
  shown_after "${floor[1]}" "$work/floor" "${wine[@]}" "${floor_manifest_command[@]}" controls
  ((i == 0)) || { floor_manifest_runs+=("$REPLY"); floor_manifest_cpu+=("$CPU"); }
  for ((k = 0; k < ${#extra[@]}; k++)); do
    IFS=$'\x1f' read -r -a words <<<"${extra[k]}"
    shown_after "${words[1]}" "${words[2]}" "${words[@]:3}"
    ((i == 0)) || { extra_runs[k]+=" $REPLY"; extra_cpu[k]+=" $CPU"; }
  done
done
wine_full=$(median "${wine_full_runs[@]}")
wine_empty=$(median "${wine_empty_runs[@]}")
qt_full=$(median "${qt_full_runs[@]}")
qt_empty=$(median "${qt_empty_runs[@]}")
floor_alone=$(median "${floor_runs[@]}")
floor_controls=$(median "${floor_controls_runs[@]}")
floor_manifest=$(median "${floor_manifest_runs[@]}")
# The program beside the floor with its manifest, start by start: the ratio
# of each round's pair, then their median (a burst of load falls on both).
pair_ratios=()
for ((i = 0; i < runs; i++)); do
  pair_ratios+=($(( 1000 * wine_full_runs[i] / floor_manifest_runs[i] )))
done
pair_ratio=$(median "${pair_ratios[@]}")

printf '\nWindow shown, %d places in %d folders (Xvfb, %d runs each, medians; %s cores, load %s)\n' \
  "$places" "$folders" "$runs" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-42s %9s ms\n' "Linux, Qt window" "$(ms "$qt_full")"
printf '  %-42s %9s ms   %6s x Linux\n' "Windows program under wine, Win32 window" "$(ms "$wine_full")" \
  "$(ratio "$wine_full" "$qt_full")"
printf '  %-42s %9s ms\n' "  Linux, empty catalogue" "$(ms "$qt_empty")"
printf '  %-42s %9s ms   %6s x Linux\n' "  wine, empty catalogue" "$(ms "$wine_empty")" \
  "$(ratio "$wine_empty" "$qt_empty")"
# What the 10,000 places add to each (none, where noise makes it negative).
wine_share=$(( wine_full > wine_empty ? wine_full - wine_empty : 0 ))
qt_share=$(( qt_full > qt_empty ? qt_full - qt_empty : 0 ))
printf '  %-42s %9s ms\n' "  the catalogue's share, Linux" "$(ms "$qt_share")"
if (( qt_share > 0 )); then
  printf '  %-42s %9s ms   %6s x Linux\n' "  the catalogue's share, wine" "$(ms "$wine_share")" "$(ratio "$wine_share" "$qt_share")"
else
  printf '  %-42s %9s ms\n' "  the catalogue's share, wine" "$(ms "$wine_share")"
fi
# Wine's floor: below it no Windows program shows a window under wine here.
printf '  %-42s %9s ms   %6s x Linux\n' "wine, a window and nothing else" "$(ms "$floor_alone")" \
  "$(ratio "$floor_alone" "$qt_full")"
printf '  %-42s %9s ms   %6s x Linux\n' "wine floor + 39 controls" "$(ms "$floor_controls")" \
  "$(ratio "$floor_controls" "$qt_full")"
printf '  %-42s %9s ms   %6s x Linux\n' "wine floor + 39 controls + the manifest" "$(ms "$floor_manifest")" \
  "$(ratio "$floor_manifest" "$qt_full")"
printf '  %-42s %9s x\n' "Windows program / floor + 39 controls" "$(ratio "$wine_full" "$floor_controls")"
# On a loaded machine a start waits for others now and then: the fastest
# of each is what it costs undisturbed.
printf '  %-42s %9s x   (pairs: %s x; fastest: %s x; target 1.40 x)\n' "Windows program / floor + manifest" \
  "$(ratio "$wine_full" "$floor_manifest")" "$(ratio "$pair_ratio" 1000)" \
  "$(ratio "$(fastest "${wine_full_runs[@]}")" "$(fastest "${floor_manifest_runs[@]}")")"
printf '  %-42s %9s x   (fastest: %s x)\n' "  the manifest's share of the floor" \
  "$(ratio "$floor_manifest" "$floor_controls")" \
  "$(ratio "$(fastest "${floor_manifest_runs[@]}")" "$(fastest "${floor_controls_runs[@]}")")"
printf '  %-42s %9s ms   %6s x the floor\n' "  target, 2 x the Linux window" "$(ms $(( 2 * qt_full )))" \
  "$(ratio $(( 2 * qt_full )) "$floor_alone")"
# Each variant beside its base: its median, and the median of the rounds'
# differences (a burst of load falls on both).
for ((k = 0; k < ${#extra[@]}; k++)); do
  IFS=$'\x1f' read -r -a words <<<"${extra[k]}"
  read -r -a times <<<"${extra_runs[k]}"
  if [[ ${words[0]} == *"| floor" ]]; then base=("${floor_controls_runs[@]}"); else base=("${wine_full_runs[@]}"); fi
  differences=()
  for ((i = 0; i < runs; i++)); do differences+=($(( times[i] - base[i] ))); done
  difference=$(median "${differences[@]}")
  sign=+
  (( difference >= 0 )) || { sign=-; difference=$(( -difference )); }
  printf '  %-42s %9s ms   %s%s ms beside the %s (fastest: %s ms beside %s ms)\n' "${words[0]% |*}" \
    "$(ms "$(median "${times[@]}")")" "$sign" "$(ms "$difference")" "${words[0]##*| }" \
    "$(ms "$(fastest "${times[@]}")")" "$(ms "$(fastest "${base[@]}")")"
done
# The processor time each had until its window was mapped: what a start
# costs whatever else the machine does (the wine server's and the X
# server's share left out).
printf '\nProcessor time until shown (the process itself; medians, ms)\n'
for row in "Windows program under wine|wine_full" "  wine, empty catalogue|wine_empty" "Linux, Qt window|qt_full" \
  "  Linux, empty catalogue|qt_empty" "wine, a window and nothing else|floor" "wine floor + 39 controls|floor_controls" \
  "wine floor + 39 controls + the manifest|floor_manifest"; do
  declare -n cpu_times=${row#*|}_cpu
  printf '  %-42s %9s ms\n' "${row%|*}" "$(ms "$(median "${cpu_times[@]}")")"
done
printf '  %-42s %9s x\n' "Windows program / floor + manifest" \
  "$(ratio "$(median "${wine_full_cpu[@]}")" "$(median "${floor_manifest_cpu[@]}")")"
for ((k = 0; k < ${#extra[@]}; k++)); do
  IFS=$'\x1f' read -r -a words <<<"${extra[k]}"
  read -r -a times <<<"${extra_cpu[k]}"
  printf '  %-42s %9s ms\n' "${words[0]% |*}" "$(ms "$(median "${times[@]}")")"
done
