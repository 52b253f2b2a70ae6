#!/usr/bin/env bash
# Installs Vantoril for the current user; needs no root and no desktop session.
#   scripts/install.sh           builds build/vantoril when needed and installs it
#   scripts/install.sh PROGRAM   installs the given program file (and the
#                                window module vantoril-window.so beside it)
# The program goes into its own folder ${XDG_DATA_HOME:-~/.local/share}/vantoril,
# beside the folders WebSite and WeatherData (made empty when missing, never
# touched when present), with the link ~/.local/bin/vantoril, a menu entry and
# its icon. The data files (*-WeatherData.xls) get a file type of their own,
# opened in LibreOffice Calc with the import options they need when
# LibreOffice is installed. Installing again updates the program and keeps
# the data. VANTORIL_SOFFICE names the LibreOffice program to use (default:
# soffice on the PATH; empty: none).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/desktop/common.sh"

die() {
  echo "install: $*" >&2
  exit 1
}

(($# <= 1)) || { echo "usage: $0 [program file]" >&2; exit 2; }
if (($# == 1)); then
  new_program=$1
else
  for tool in cmake ninja g++; do
    command -v "$tool" >/dev/null || die "$tool is missing to build the program: run scripts/setup.sh (as root) first"
  done
  "$repo/scripts/build.sh"
  new_program=$repo/build/vantoril
fi
[ -f "$new_program" ] && [ -x "$new_program" ] || die "$new_program is not a program file"
new_window_module=$(dirname "$new_program")/vantoril-window.so
[ -f "$new_window_module" ] || die "$new_window_module (the window, built beside the program) is missing"
if [ -z "${VANTORIL_SOFFICE+set}" ]; then
  soffice=$(command -v soffice || true)
else
  soffice=$VANTORIL_SOFFICE
fi

# Stop before changing anything when something of the user's is in the way.
[ ! -e "$program_folder" ] || [ -d "$program_folder" ] || die "$program_folder is in the way: it is not a folder"
[ ! -d "$program" ] || die "$program is in the way: it is a folder"
[ ! -e "$link" ] || [ -L "$link" ] || die "$link is in the way: it is not a link (remove it to install)"
[[ $program_folder != *$'\n'* ]] || die "the folder $program_folder has a line break in its name"

tmp=
trap '[ -z "$tmp" ] || rm -f "$tmp"' EXIT
# Writes standard input to the file $1 in one step: a reader sees the old or
# the new file, never half of one.
put() {
  mkdir -p "$(dirname "$1")"
  tmp=$(mktemp "$1.XXXXXX")
  cat >"$tmp"
  chmod "${2:-644}" "$tmp"
  mv -fT "$tmp" "$1"
  tmp=
}

# One argument of an Exec line: %% for %, and quoted, when it holds a
# character that needs it, with the escapes of the quotes and then of the
# desktop file.
exec_argument() {
  local s=${1//%/%%}
  case $s in
    *[[:space:]\"\'\\\<\>~\|\&\;\$\*\?\#\(\)\`]*)
      s=${s//\\/\\\\}
      s=${s//\"/\\\"}
      s=${s//\`/\\\`}
      s=${s//\$/\\\$}
      s="\"$s\""
      ;;
  esac
  printf '%s' "${s//\\/\\\\}"
}

# The program, replaced by rename so that a running copy goes on running.
mkdir -p "$program_folder"
put "$window_module" 644 <"$new_window_module"
put "$program" 755 <"$new_program"
for folder in WebSite WeatherData; do
  [ -e "$program_folder/$folder" ] || [ -L "$program_folder/$folder" ] || mkdir "$program_folder/$folder"
done
mkdir -p "$(dirname "$link")"
ln -sfn "$program" "$link"

put "$icon" <"$repo/resources/vantoril.png"
menu_entry_text "$(exec_argument "$program")" | put "$menu_entry"
put "$mime_package" <"$repo/scripts/desktop/vantoril-weatherdata.xml"
if [ -n "$soffice" ]; then
  data_entry_text "$(exec_argument "$soffice")" "${soffice//\\/\\\\}" | put "$data_entry"
else
  rm -f "$data_entry"
  forget_default
fi
update_databases
if [ -n "$soffice" ]; then
  if command -v xdg-mime >/dev/null; then
    xdg-mime default "$(basename "$data_entry")" "$data_type"
  else
    echo "xdg-mime is missing (package xdg-utils): choose \"Vantoril 天气数据\" in the file manager's Open With to open the data files" >&2
  fi
fi

echo "Vantoril is installed in $program_folder (started by $link or from the menu)."
echo "Places: $program_folder/WebSite"
echo "Data:   $program_folder/WeatherData"
if [ -z "$soffice" ]; then
  echo "LibreOffice is not installed, so nothing opens the data files right yet: install"
  echo "LibreOffice Calc and run this again, or open a file by hand (README, \"Opening the data files\")."
fi
case ":$PATH:" in
  *":$(dirname "$link"):"*) ;;
  *) echo "$(dirname "$link") is not on your PATH yet; it is after the next login on most systems." ;;
esac
