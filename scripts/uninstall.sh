#!/usr/bin/env bash
# Removes what scripts/install.sh installed: the program, its link, the menu
# entry, the icon and the file type of the data files. The folders WebSite
# and WeatherData, with the places and the recorded data, stay where they are.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/desktop/common.sh"

# Recording on a schedule stops first: the timer or crontab line runs this program.
if [ -x "$program" ]; then
  "$program" --schedule off >/dev/null || echo "uninstall: could not turn off recording on a schedule (see above)" >&2
fi

# The link only when it is the one the install made.
[ -L "$link" ] && [ "$(readlink "$link")" = "$program" ] && rm -f "$link"
rm -f "$program" "$window_module" "$menu_entry" "$data_entry" "$icon" "$mime_package"
forget_default
update_databases
rmdir "$program_folder" 2>/dev/null || true

echo "Vantoril is uninstalled."
for folder in WebSite WeatherData; do
  if [ -e "$program_folder/$folder" ]; then
    echo "Kept: $program_folder/$folder"
  fi
done
