#!/usr/bin/env bash
# Where the places and the data live: beside the program when its folder can
# be written; else in the user's $XDG_DATA_HOME/vantoril (by default
# ~/.local/share/vantoril), made when missing. Each case records one place
# headless over a file:// page, as an ordinary user (nobody, when the test
# runs as root, who may write anywhere).
#   tests/gui/data_folder_test.sh PROGRAM ARTEFACTS
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/../.." && pwd)
program=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-data-folder.XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
fail() { echo "FAIL (data_folder_test): $*" >&2; exit 1; }

cp "$root/tests/data/hangzhou-2014.html" "$work/page.html"
expected=$root/tests/data/hangzhou-2014.WeatherData.xls

user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || fail "setpriv (util-linux) is missing"
  user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# Hands a folder to the user the program runs as.
own() { [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$@"; }

# The place 北京 in the catalogue folder $1/WebSite (GBK, CR LF).
add_place() {
  mkdir -p "$1/WebSite"
  printf 'file://%s\r\n' "$work/page.html" | iconv -f UTF-8 -t GBK >"$1/WebSite/北京.txt"
  own "$1"
}

# record CASE PROGRAM_FOLDER_MODE XDG_DATA_HOME(- for unset) DATA_FOLDER(relative to the case's home, or "program")
record() {
  local name=$1 mode=$2 xdg=$3 where=$4
  local case=$work/$name
  mkdir -p "$case/program" "$case/home"
  cp "$program" "$case/program/vantoril"
  own "$case/home"
  # A program folder the user cannot write: root's, or (not root) one made read-only.
  if [ "$mode" = writable ]; then own "$case/program"; else chmod 555 "$case/program"; fi
  local data
  if [ "$where" = program ]; then data=$case/program; else data=$case/home/$where; fi
  [ "$mode" = read-only ] && [ "$where" = program ] && fail "$name: a read-only program folder cannot hold the data"

  local environment=(env -u XDG_DATA_HOME HOME="$case/home")
  [ "$xdg" = - ] || environment+=(XDG_DATA_HOME="$xdg")
  # The first run, with no places yet, makes the data folder.
  "${environment[@]}" "${user[@]}" "$case/program/vantoril" --record >"$case/out" 2>&1 ||
    fail "$name: the run without places failed: $(cat "$case/out")"
  [ -d "$data" ] || fail "$name: $data was not made"
  add_place "$data"
  "${environment[@]}" "${user[@]}" "$case/program/vantoril" --record >"$case/out" 2>&1 ||
    fail "$name: the run failed: $(cat "$case/out")"
  grep -qx $'北京\t2014061914' "$case/out" || fail "$name: no line for 北京: $(cat "$case/out")"
  cmp "$data/WeatherData/北京-WeatherData.xls" "$expected" || fail "$name: the data file differs or is missing"
  if [ "$where" != program ]; then
    local beside
    beside=$(find "$case/program" -mindepth 1 -maxdepth 1 ! -name vantoril)
    [ -z "$beside" ] || fail "$name: files beside a read-only program: $beside"
  else
    [ ! -e "$case/home/.local" ] || fail "$name: a user data folder made for a writable program folder"
  fi
  echo "ok: $name"
}

#      case            program folder  XDG_DATA_HOME          where the data goes
record writable        writable        -                      program
record default         read-only       -                      .local/share/vantoril
record xdg-absolute    read-only       "$work/xdg-absolute/home/data" data/vantoril
record xdg-relative    read-only       relative/data          .local/share/vantoril
echo "PASS: data_folder_test"
