#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program: the window where
# there is a display, else one recording run without a window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The program and its window module only: the tests need packages that
# scripts/setup.sh --tests installs.
scripts/build.sh build -- vantoril vantoril_window
scripts/demo-catalogue.sh build
# The program in build/ keeps its places and records beside itself.
echo "run: build/ holds the demo's places (build/WebSite) and records (build/WeatherData):" \
  "deleting build/ deletes them; scripts/install.sh installs a copy whose data lives outside build/" >&2
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/vantoril
fi
echo "no display: recording headless (build/vantoril --record)"
exec build/vantoril --record
