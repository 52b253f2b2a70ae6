#!/bin/bash
# Two suites' window tests at once on one machine, as when two test runs
# share it: each gets an X server of its own and both pass. The caller's
# DISPLAY (:0 here) is never used.
. "$(dirname "$0")/lib.sh"

here=$(dirname "$0")
pids=()
for t in debug_panel_test chart_test; do
  DISPLAY=:0 timeout 170 "$here/$t.sh" "$PROGRAM" "$ARTEFACTS/two-suites-$t-${#pids[@]}" >"$WORK/$t-${#pids[@]}.log" 2>&1 &
  pids+=($!)
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || failed+=" $i: $(tail -n 5 "$WORK"/*-"$i".log)"
done
[ -z "${failed:-}" ] || fail "window tests run at once failed:$failed"
echo "PASS: $TEST_NAME"
