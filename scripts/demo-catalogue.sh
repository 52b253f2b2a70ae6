#!/usr/bin/env bash
# Gives the program folder a demo catalogue, when it has none, whose places
# point at the sample pages shipped in demo/pages, so a run works offline.
# An existing WebSite folder is never touched.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
program_folder=${1:-$repo/build}
catalogue=$program_folder/WebSite
[ -e "$catalogue" ] && exit 0
mkdir -p "$catalogue"
# file:// addresses carry the folder percent-encoded (a blank or # in it).
pages=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$repo/demo/pages")
while IFS='|' read -r place page; do
  printf 'file://%s/%s\r\n' "$pages" "$page" | iconv -f UTF-8 -t GBK >"$catalogue/$place.txt"
done <"$repo/demo/places.txt"
echo "demo catalogue written to $catalogue"
