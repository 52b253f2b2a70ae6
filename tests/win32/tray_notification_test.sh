#!/bin/bash
# The notification-area icon of a scheduled run (TrayNotification in
# notify_test.cpp) in a wine session on a private X server: a window needs
# wine's desktop process, which needs a display.
#   tests/win32/tray_notification_test.sh UNIT_TESTS ARTEFACTS BUILD
. "$(dirname "$0")/../gui/lib.sh"
. "$(dirname "$0")/lib.sh"
start_wine_x
LC_ALL=zh_CN.UTF-8 timeout 120 wine "$PROGRAM" --gtest_filter='TrayNotification.*' >"$WORK/out" 2>&1
result=$?
cp "$WORK/out" "$ARTEFACTS/tray_notification.txt"
grep -q '^\[  PASSED  \] 1 test' "$WORK/out" || fail "exit $result: $(cat "$WORK/out")"
echo "PASS: $TEST_NAME"
