# shellcheck shell=bash disable=SC2034
# Where the user-level install puts things; sourced by scripts/install.sh
# and scripts/uninstall.sh.

# XDG_DATA_HOME counts only when it is an absolute path.
data_home=${XDG_DATA_HOME:-}
[[ $data_home == /* ]] || data_home=$HOME/.local/share

program_folder=$data_home/vantoril
program=$program_folder/vantoril
link=$HOME/.local/bin/vantoril
menu_entry=$data_home/applications/vantoril.desktop
data_entry=$data_home/applications/vantoril-weatherdata.desktop
icon=$data_home/icons/hicolor/64x64/apps/vantoril.png
mime_package=$data_home/mime/packages/vantoril-weatherdata.xml
data_type=application/x-vantoril-weatherdata

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
