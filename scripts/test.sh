#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (the window tests
# under Xvfb) twice: in build/, then in build-asan/ built with
# AddressSanitizer and UndefinedBehaviorSanitizer. Any sanitizer report, in
# a test or in a program a test started, fails the run. Screenshots of the
# window tests land in <build folder>/artefacts. Between the two runs, the
# Windows program is cross-built in build-win/ and its tests run under wine.
#   scripts/test.sh --packages  also makes the packages and installs them for
#                               real (tests/packages: slow), after the rest
set -euo pipefail
cd "$(dirname "$0")/.."
# The same results whatever locale the caller has (a fresh system has none).
export LC_ALL=C.UTF-8
packages=false
[ "${1:-}" != --packages ] || packages=true
scripts/setup.sh --tests
scripts/build.sh build -DVANTORIL_TESTS=ON
ctest --test-dir build --output-on-failure

echo "== the Windows build, its tests under wine"
scripts/build.sh build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli -DVANTORIL_TESTS=ON
scripts/wine.sh build-win start
trap 'scripts/wine.sh build-win stop' EXIT
ctest --test-dir build-win --output-on-failure
scripts/wine.sh build-win stop
trap - EXIT

echo "== the same tests with AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DVANTORIL_SANITIZE=ON -DVANTORIL_TESTS=ON
reports=$PWD/build-asan/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
# Reports go to files as well as failing the process, so that one from a
# program whose exit status a test does not look at is still seen.
export ASAN_OPTIONS="log_path=$reports/asan:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1:halt_on_error=1"
status=0
ctest --test-dir build-asan --output-on-failure || status=$?
if [ -n "$(ls -A "$reports")" ]; then
  for f in "$reports"/*; do
    echo "== sanitizer report $f"
    cat "$f"
  done
  status=1
fi

# The packages: the .deb under lintian and installed with apt-get in a fresh
# Debian 12 root, the Windows setup program installed under wine.
if $packages && [ "$status" -eq 0 ]; then
  echo "== the packages, installed for real"
  scripts/package.sh
  ls -l build/vantoril_*_amd64.deb build-win/vantoril-setup-*.exe build-win/vantoril-windows-x64.zip
  passed=0
  failed=0
  check() {
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  }
  check lintian --fail-on error,warning build/vantoril_*_amd64.deb
  # Hardening tags are only told as information: none may show.
  check bash -c '! lintian -I build/vantoril_*_amd64.deb | grep hardening-'
  check tests/packages/deb_install_test.sh build/vantoril_*_amd64.deb
  check tests/packages/windows_setup_test.sh build-win/vantoril-setup-*.exe
  echo "packages: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] || status=1
fi
exit "$status"
