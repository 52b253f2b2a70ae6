#!/usr/bin/env bash
# Configures and builds.
#   scripts/build.sh                      build/ (the program is build/vantoril)
#   scripts/build.sh DIR [cmake options]  DIR, configured with the options
#   scripts/build.sh DIR [cmake options] -- TARGET...
#                                         only those targets
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift $(($# > 0 ? 1 : 0))
options=()
while (($#)) && [ "$1" != -- ]; do
  options+=("$1")
  shift
done
shift $(($# > 0 ? 1 : 0))
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
ninja -C "$dir" "$@"
