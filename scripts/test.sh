#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the window tests
# under Xvfb). Screenshots of the window tests land in build/artefacts.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
ctest --test-dir build --output-on-failure
