#!/usr/bin/env bash
# Runs each libFuzzer target of fuzz/ for a bounded time. Not part of CI.
#
#   bench/fuzz.sh [target ...]      (default: every target, one after another)
#
# Environment:
#   FUZZ_SECONDS=N   time per target (default 600)
#   FUZZ_BUILD=DIR   build folder (default: build-fuzz beside this folder)
#
# Builds with clang (-DVANTORIL_FUZZ=ON: libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer). Each target starts from its seeds in
# fuzz/corpus/<target> and grows its own corpus in <build>/corpus/<target>;
# an input that fails is written to <build>/findings/<target>/. The last
# lines of each run (executions, coverage) are printed; the log is kept in
# <build>/<target>.log. Exits non-zero when any target found something.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-600}
targets=("$@")
((${#targets[@]})) || targets=(page_to_record page_bytes gbk_lines command_line history data_file run_log page_check place_search)

missing=()
for p in clang libclang-rt-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVANTORIL_FUZZ=ON >"$build/fuzz-configure.log" 2>&1 ||
  { cat "$build/fuzz-configure.log" >&2; exit 1; }
ninja -C "$build" "${targets[@]/#/fuzz_}"

found=0
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/findings/$t"
  echo "== $t: ${seconds} s"
  status=0
  "$build/fuzz/fuzz_$t" "$build/corpus/$t" "$root/fuzz/corpus/$t" \
    -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t/" >"$build/$t.log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$build/$t.log" || true
  echo "corpus: $(find "$build/corpus/$t" -type f | wc -l) inputs"
  if ((status != 0)) || [ -n "$(ls -A "$build/findings/$t")" ]; then
    echo "FOUND: see $build/$t.log and $build/findings/$t/"
    found=1
  fi
done
exit "$found"
