#!/usr/bin/env bash
# Gives the program folder a demo catalogue, when it has none, whose places
# point at the sample pages shipped in demo/pages, so a run works offline.
# An existing WebSite folder (or link, even one leading nowhere) is never touched.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
program_folder=${1:-$repo/build}
catalogue=$program_folder/WebSite
[ -e "$catalogue" ] || [ -L "$catalogue" ] && exit 0
mkdir -p "$catalogue"
# file:// addresses carry the folder percent-encoded (a blank or # in it),
# byte by byte; letters, digits, - . _ ~ and / stay as they are.
percent_encoded() {
  local LC_ALL=C text=$1 out="" c i
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case $c in
      [A-Za-z0-9._~/-]) out+=$c ;;
      *) printf -v c '%%%02X' "'$c"; out+=$c ;;
    esac
  done
  printf '%s' "$out"
}
pages=$(percent_encoded "$repo/demo/pages")
while IFS='|' read -r place page; do
  printf 'file://%s/%s\r\n' "$pages" "$page" | iconv -f UTF-8 -t GBK >"$catalogue/$place.txt"
done <"$repo/demo/places.txt"
echo "demo catalogue written to $catalogue"
