#!/usr/bin/env bash
# Installs Vantoril for the current user; needs no root and no desktop session.
#   scripts/install.sh           builds build/vantoril when needed and installs it
#   scripts/install.sh PROGRAM   installs the given program file
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
put "$program" 755 <"$new_program"
for folder in WebSite WeatherData; do
  [ -e "$program_folder/$folder" ] || [ -L "$program_folder/$folder" ] || mkdir "$program_folder/$folder"
done
mkdir -p "$(dirname "$link")"
ln -sfn "$program" "$link"

put "$icon" <"$repo/resources/vantoril.png"
put "$menu_entry" <<ENTRY
[Desktop Entry]
Type=Application
Name=Vantoril
Name[zh_CN]=Vantoril 天气记录
GenericName=Weather recorder
GenericName[zh_CN]=天气记录
Comment=Records the weather observations of the China Weather site for a list of places
Comment[zh_CN]=记录“中国天气”网站上各地的天气观测数据
Keywords=weather;China Weather;
Keywords[zh_CN]=天气;气象;中国天气;
Exec=$(exec_argument "$program")
Icon=vantoril
Terminal=false
Categories=Utility;
StartupWMClass=vantoril
ENTRY

# The data files are GBK text with tabs named .xls; the glob outweighs the
# generic *.xls (weight 50), so other .xls files keep their type.
put "$mime_package" <<'TYPE'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-vantoril-weatherdata">
    <comment>Vantoril weather data</comment>
    <comment xml:lang="zh_CN">Vantoril 天气数据</comment>
    <sub-class-of type="text/plain"/>
    <generic-icon name="x-office-spreadsheet"/>
    <glob pattern="*-WeatherData.xls" weight="60"/>
  </mime-type>
</mime-info>
TYPE

# Calc reads them with no dialog: tab-separated, code page 936, column 1 as
# text (the hours keep their leading zero), English number format.
if [ -n "$soffice" ]; then
  put "$data_entry" <<ENTRY
[Desktop Entry]
Type=Application
Name=Vantoril 天气数据
Comment=Opens a Vantoril data file in LibreOffice Calc
Comment[zh_CN]=用 LibreOffice Calc 打开天气数据文件
Exec=$(exec_argument "$soffice") --calc "--infilter=Text - txt - csv (StarCalc):9,34,61,1,1/2,1033" %F
TryExec=${soffice//\\/\\\\}
Icon=libreoffice-calc
MimeType=$data_type;
NoDisplay=true
Terminal=false
ENTRY
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
