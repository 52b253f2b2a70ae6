# shellcheck shell=bash disable=SC2034
# Where the user-level install puts things; sourced by scripts/install.sh
# and scripts/uninstall.sh.

# XDG_DATA_HOME counts only when it is an absolute path.
data_home=${XDG_DATA_HOME:-}
[[ $data_home == /* ]] || data_home=$HOME/.local/share

program_folder=$data_home/vantoril
program=$program_folder/vantoril
# The window, which the program loads from its own folder.
window_module=$program_folder/vantoril-window.so
link=$HOME/.local/bin/vantoril
menu_entry=$data_home/applications/vantoril.desktop
data_entry=$data_home/applications/vantoril-weatherdata.desktop
icon=$data_home/icons/hicolor/64x64/apps/vantoril.png
mime_package=$data_home/mime/packages/vantoril-weatherdata.xml
data_type=application/x-vantoril-weatherdata

# The menu entry of the program; $1 is the program as an Exec argument.
menu_entry_text() {
  cat <<ENTRY
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
Exec=$1
Icon=vantoril
Terminal=false
Categories=Utility;
StartupWMClass=vantoril
ENTRY
}

# The data files are GBK text with tabs named .xls, with a file type of
# their own (vantoril-weatherdata.xml beside this file); Calc reads them
# with no dialog: tab-separated, code page 936, column 1 as text (the hours
# keep their leading zero), English number format. $1 is LibreOffice as an
# Exec argument, $2 as a TryExec value.
data_entry_text() {
  cat <<ENTRY
[Desktop Entry]
Type=Application
Name=Vantoril 天气数据
Comment=Opens a Vantoril data file in LibreOffice Calc
Comment[zh_CN]=用 LibreOffice Calc 打开天气数据文件
Exec=$1 --calc "--infilter=Text - txt - csv (StarCalc):9,34,61,1,1/2,1033" %F
TryExec=$2
Icon=libreoffice-calc
MimeType=$data_type;
NoDisplay=true
Terminal=false
ENTRY
}

# Rebuilds the user's caches of file types and of the programs for them.
update_databases() {
  if [ -d "$data_home/mime/packages" ]; then
    if command -v update-mime-database >/dev/null; then
      XDG_DATA_HOME=$data_home update-mime-database "$data_home/mime"
    else
      echo "update-mime-database is missing (package shared-mime-info): the data files get their type when it runs" >&2
    fi
  fi
  if [ -d "$data_home/applications" ] && command -v update-desktop-database >/dev/null; then
    XDG_DATA_HOME=$data_home update-desktop-database "$data_home/applications"
  fi
  # Icon themes look again when the theme folder changes.
  [ -d "$data_home/icons/hicolor" ] && touch "$data_home/icons/hicolor"
  return 0
}

# Drops the default program of the data files from the user's mimeapps.list.
forget_default() {
  local list
  for list in "${XDG_CONFIG_HOME:-$HOME/.config}/mimeapps.list" "$data_home/applications/mimeapps.list"; do
    [ -f "$list" ] && grep -q "^$data_type=" "$list" && sed -i --follow-symlinks "\\|^$data_type=|d" "$list"
  done
  return 0
}
