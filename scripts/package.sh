#!/usr/bin/env bash
# Cross-builds the Windows program (build-win/) and makes the portable zip
# build-win/vantoril-windows-x64.zip: vantoril.exe, README.txt and the empty
# folders WebSite and WeatherData, all in a folder named vantoril.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --windows
scripts/build.sh build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli
stage=build-win/package
rm -rf "$stage" build-win/vantoril-windows-x64.zip
mkdir -p "$stage/vantoril/WebSite" "$stage/vantoril/WeatherData"
x86_64-w64-mingw32-strip -o "$stage/vantoril/vantoril.exe" build-win/vantoril.exe
cp packaging/README.txt "$stage/vantoril/README.txt"
(cd "$stage" && zip -q -r -X ../vantoril-windows-x64.zip vantoril)
echo "build-win/vantoril-windows-x64.zip"
