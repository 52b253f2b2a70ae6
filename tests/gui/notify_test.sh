#!/bin/bash
# The notification of a run the schedule starts ("--record --notify"), on a
# real session bus with a real notification server (notification-daemon on
# a private X server), the Notify calls captured by dbus-monitor: a run in
# which places fail notifies once, with the places failing alike on one
# line; a run that records everything, and a run typed at a terminal, do
# not; with no bus at all the run log says so and the run's result is
# unchanged; then a real cron runs the line for a throwaway user, whose bus
# the program finds in /run/user/<uid>.
. "$(dirname "$0")/lib.sh"

daemon=/usr/lib/notification-daemon/notification-daemon
for tool in dbus-daemon dbus-monitor dbus-send "$daemon"; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done
BUS_PID=
MONITOR_PID=
SERVER_PID=
stop_bus() {
  local pid
  for pid in $MONITOR_PID $SERVER_PID $BUS_PID; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  cleanup
}
trap stop_bus EXIT

start_x
# The buses' configuration: a session bus whose only service folder is an
# empty one of the test's, so that nothing (a notification server the
# machine has installed) is started by D-Bus activation.
mkdir -p "$WORK/services"
cat >"$WORK/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <servicedir>$WORK/services</servicedir>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
chmod a+rx "$WORK" "$WORK/services"
chmod a+r "$WORK/bus.conf"
# The session bus: its socket in a runtime folder of our own, as
# /run/user/<uid>/bus is the user's.
runtime="$WORK/runtime"
mkdir -m 700 "$runtime"
dbus-daemon --config-file="$WORK/bus.conf" --nofork --address="unix:path=$runtime/bus" >"$WORK/bus.log" 2>&1 &
BUS_PID=$!
wait_socket() { [ -S "$runtime/bus" ]; }
wait_until 10 wait_socket || fail "the session bus did not start: $(cat "$WORK/bus.log")"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
"$daemon" >"$WORK/daemon.log" 2>&1 &
SERVER_PID=$!
served() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true'
}
wait_until 20 served || fail "no notification server on the bus: $(cat "$WORK/daemon.log")"
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$WORK/monitor.log" 2>&1 &
MONITOR_PID=$!
sleep 1

notifies() { grep -c 'member=Notify' "$WORK/monitor.log"; }
# Runs the program in the program folder with the arguments; RESULT is its exit code.
run() {
  (cd "$PROGRAM_FOLDER" && "$@") >"$WORK/out" 2>"$WORK/err"
  RESULT=$?
}
logged_notice() { grep -P '^\S+ \S+\t通知\t' "$PROGRAM_FOLDER/vantoril.log"; }

# Three places on a server that refuses connections, one good page.
page="$WORK/pages/beijing.html"
mkdir -p "$WORK/pages"
cp "$(dirname "$0")/../../demo/pages/beijing.html" "$page" || fail "no demo page"
failing=("甲=http://127.0.0.1:1/a" "乙=http://127.0.0.1:1/b" "丙&丁=http://127.0.0.1:1/c" "北京=file://$page")

# A scheduled run in which places fail: one notification.
make_program_folder "${failing[@]}"
run ./vantoril --record --notify
[ "$RESULT" -eq 1 ] || fail "a failing run exited with $RESULT"
has_notify() { [ "$(notifies)" -ge 1 ]; }
wait_until 10 has_notify || fail "no Notify call: $(cat "$WORK/monitor.log")"
sleep 1
[ "$(notifies)" -eq 1 ] || fail "$(notifies) Notify calls for one run"
grep -q 'string "Vantoril：定时记录有 3 个地名没有记录"' "$WORK/monitor.log" || fail "no title with the count: $(cat "$WORK/monitor.log")"
grep -q '3 个地名都无法下载：无法连接到服务器 127.0.0.1（' "$WORK/monitor.log" || fail "the causes are not grouped: $(cat "$WORK/monitor.log")"
logged_notice | grep -q $'\t已显示：Vantoril：定时记录有 3 个地名没有记录$' || fail "the log does not say it was shown: $(cat "$PROGRAM_FOLDER/vantoril.log")"
grep -q '3 个地名都无法下载：无法连接到服务器 127.0.0.1（' "$WORK/err" || fail "stderr is not grouped: $(cat "$WORK/err")"
# notification-daemon reads the body as markup: the '&' of a place is escaped.
grep -q '丙&amp;丁' "$WORK/monitor.log" || fail "the body's '&' is not escaped for the markup: $(cat "$WORK/monitor.log")"

# The same run typed at a terminal: no notification.
run ./vantoril --record
[ "$RESULT" -eq 1 ] || fail "a failing run at a terminal exited with $RESULT"
# A run that records everything (its page is stale, which alone tells nobody): none.
make_program_folder "北京=file://$page"
run ./vantoril --record --notify
[ "$RESULT" -eq 0 ] || fail "a good run exited with $RESULT: $(cat "$WORK/err")"
[ -z "$(logged_notice)" ] || fail "a good run logged a notification"

# No bus at all: the log says so, the result is the same.
make_program_folder "${failing[@]}"
mkdir -m 700 "$WORK/nobus"
run env -u DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR="$WORK/nobus" ./vantoril --record --notify
[ "$RESULT" -eq 1 ] || fail "a run without a bus exited with $RESULT"
logged_notice | grep -q $'\t通知无法显示：没有会话总线' || fail "the log does not say why: $(cat "$PROGRAM_FOLDER/vantoril.log")"
[ "$(notifies)" -eq 1 ] || fail "$(notifies) Notify calls in all, not 1"
# A bus without a notification server: the same.
kill "$SERVER_PID" && wait "$SERVER_PID" 2>/dev/null
SERVER_PID=
make_program_folder "${failing[@]}"
run ./vantoril --record --notify
[ "$RESULT" -eq 1 ] || fail "a run without a notification server exited with $RESULT"
logged_notice | grep -q $'\t通知无法显示：' || fail "the log does not say the server is missing: $(cat "$PROGRAM_FOLDER/vantoril.log")"
logged_notice >"$ARTEFACTS/notify-no-server.txt"
cp "$WORK/monitor.log" "$ARTEFACTS/notify-monitor.log"

# The cron line itself, run by a real cron daemon for a throwaway user whose
# session bus is at /run/user/<uid>/bus, where a login puts it: cron's
# environment names no bus.
if [ "$(id -u)" -ne 0 ] || ! command -v useradd >/dev/null || ! command -v cron >/dev/null; then
  echo "NOTE: needs root, useradd and cron: the cron line is not run for real here"
  echo "PASS: $TEST_NAME"
  exit 0
fi
USER_NAME="vtnotify$$"
useradd -m "$USER_NAME" || fail "useradd failed"
user_runtime="/run/user/$(id -u "$USER_NAME")"
USER_PIDS=()
CRON_PID=
stop_user() {
  local pid
  for pid in "${USER_PIDS[@]}" $CRON_PID; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  crontab -r -u "$USER_NAME" 2>/dev/null
  rm -rf "$user_runtime"
  userdel -r "$USER_NAME" 2>/dev/null || echo "cannot remove the user $USER_NAME" >&2
  stop_bus
}
trap stop_user EXIT
[ ! -e "$user_runtime" ] || fail "$user_runtime is there already"
install -d -m 700 -o "$USER_NAME" -g "$USER_NAME" "$user_runtime"
user_bus="unix:path=$user_runtime/bus"
# Run in the background straight from the array, so that $! is the process itself.
user_command=(setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups
  env -i HOME="/home/$USER_NAME" USER="$USER_NAME" LOGNAME="$USER_NAME" PATH=/usr/bin:/bin LC_ALL=C.UTF-8)
as_user() { "${user_command[@]}" "$@"; }
"${user_command[@]}" dbus-daemon --config-file="$WORK/bus.conf" --nofork --address="$user_bus" >"$WORK/user-bus.log" 2>&1 &
USER_PIDS+=($!)
user_socket() { [ -S "$user_runtime/bus" ]; }
wait_until 10 user_socket || fail "the user's session bus did not start: $(cat "$WORK/user-bus.log")"
"${user_command[@]}" DISPLAY="$DISPLAY" DBUS_SESSION_BUS_ADDRESS="$user_bus" "$daemon" >"$WORK/user-daemon.log" 2>&1 &
USER_PIDS+=($!)
user_served() { as_user DBUS_SESSION_BUS_ADDRESS="$user_bus" dbus-send --session \
  --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
  string:org.freedesktop.Notifications 2>/dev/null | grep -q 'boolean true'; }
wait_until 20 user_served || fail "no notification server on the user's bus: $(cat "$WORK/user-daemon.log")"
"${user_command[@]}" DBUS_SESSION_BUS_ADDRESS="$user_bus" dbus-monitor --session \
  "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" >"$WORK/user-monitor.log" 2>&1 &
USER_PIDS+=($!)

make_program_folder "${failing[@]}"
chown -R "$USER_NAME" "$PROGRAM_FOLDER"
chmod a+rx "$WORK"
# The next minute with time to spare for cron to read the new crontab.
at=$(date -d "+$((60 - 10#$(date +%S) < 20 ? 2 : 1)) minute" +%H:%M)
as_user "$PROGRAM_FOLDER/vantoril" --schedule "$at" >"$WORK/schedule.out" 2>&1 || fail "--schedule $at failed: $(cat "$WORK/schedule.out")"
crontab -l -u "$USER_NAME" | grep -q -- '--record --notify # vantoril-schedule$' || fail "the cron line: $(crontab -l -u "$USER_NAME")"
if ! pgrep -x cron >/dev/null; then
  cron -f -L 15 >"$WORK/cron.log" 2>&1 &
  CRON_PID=$!
fi
cron_notified() { grep -q 'string "Vantoril：定时记录有 3 个地名没有记录"' "$WORK/user-monitor.log"; }
wait_until 150 cron_notified || fail "cron's run at $at did not notify: $(cat "$PROGRAM_FOLDER/vantoril.log" 2>&1)"
# The run writes its log line once the server has answered: it may still be at it.
logged_shown() { logged_notice | grep -q $'\t已显示：'; }
wait_until 30 logged_shown || fail "cron's run did not log the notification: $(cat "$PROGRAM_FOLDER/vantoril.log")"
echo "PASS: $TEST_NAME"
