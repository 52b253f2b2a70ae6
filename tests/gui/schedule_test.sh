#!/bin/bash
# Recording on a schedule, for a throwaway user of this machine (never the
# machine's own crontab): where no systemd user manager answers, as in a
# container, `--schedule` writes marked lines into the user's real crontab
# and `--schedule off` takes exactly them out again; then the dialog
# "定时记录" of the window does the same. Needs root (useradd) and cron.
. "$(dirname "$0")/lib.sh"

if [ "$(id -u)" -ne 0 ] || ! command -v useradd >/dev/null || ! command -v crontab >/dev/null; then
  echo "SKIP: needs root, useradd and cron's crontab"
  exit 77
fi
if [ ! -d /run/systemd/system ]; then
  echo "NOTE: this machine was not booted with systemd, so no user manager can be started for a" \
    "throwaway user (systemd --user refuses): the systemd timer path runs below through a stand-in" \
    "systemctl, its units are checked by systemd-analyze in the unit tests; the cron path is real."
fi
USER_NAME="vtsched$$"
useradd -m "$USER_NAME" || fail "useradd failed"
previous_cleanup=$(declare -f cleanup | tail -n +2)
# The user goes last, once the program running as the user has ended.
eval "cleanup() { $previous_cleanup
  crontab -r -u '$USER_NAME' 2>/dev/null; userdel -r '$USER_NAME' 2>/dev/null || echo \"cannot remove the user $USER_NAME\" >&2; }"
chmod 755 "$WORK"

# A program folder whose path has what quoting must get right.
PROGRAM_FOLDER="$WORK/my apps/100% \$HOME it's"
mkdir -p "$PROGRAM_FOLDER"
cp "$PROGRAM" "$PROGRAM_FOLDER/vantoril"
cp "$(dirname "$PROGRAM")/vantoril-window.so" "$PROGRAM_FOLDER/" || fail "no window module beside $PROGRAM"
chmod -R a+rX "$WORK"

USER_PATH=/usr/bin:/bin
as_user() {
  setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups \
    env -i HOME="/home/$USER_NAME" USER="$USER_NAME" LOGNAME="$USER_NAME" PATH="$USER_PATH" LC_ALL=C.UTF-8 \
    DISPLAY="${DISPLAY:-}" "$@"
}
crontab_of_user() { crontab -l -u "$USER_NAME" 2>&1; }

# The user's own lines.
printf 'MAILTO=""\n# mine\n*/5 * * * * echo "50%% done" # vantoril-schedule-not\n\n30 6 * * 1 true\n' >"$WORK/mine"
crontab -u "$USER_NAME" "$WORK/mine" || fail "cannot give the user a crontab"
mine=$(crontab_of_user)

# No cron daemon runs here unless the machine started one; this test never
# starts the machine's cron, which would run every user's crontab.
cron_running() { pgrep -x cron >/dev/null || pgrep -x crond >/dev/null || pgrep -x fcron >/dev/null; }
cron_running && echo "NOTE: a cron daemon runs on this machine: the warning of none is not seen here"
out=$(as_user "$PROGRAM_FOLDER/vantoril" --schedule 8,20:30,20,8:00 2>"$WORK/err") ||
  fail "--schedule 8,20:30,20 failed: $out $(cat "$WORK/err")"
if ! cron_running; then
  grep -q "^cron 没有运行，定时记录不会发生：" "$WORK/err" || fail "no warning that cron does not run: $(cat "$WORK/err")"
  grep -qx "下次运行：不会运行（cron 没有运行）" <<<"$out" || fail "--schedule promised a next run: $out"
  ! grep -q "cron 没有运行，" <<<"$out" || fail "the warning is on stdout too: $out"
fi
grep -qx "定时记录：开（crontab）" <<<"$out" || fail "--schedule did not say it is on through cron: $out"
grep -qx "时间：08:00,20:00,20:30" <<<"$out" || fail "--schedule did not print the times: $out"
grep -qx "上次运行：还没有记录过" <<<"$out" || fail "--schedule did not say there was no run yet: $out"
now=$(crontab_of_user)
[ "$(head -n 5 <<<"$now")" = "$mine" ] || fail "the user's own lines changed: $now"
ours=$(grep ' # vantoril-schedule$' <<<"$now")
[ "$(wc -l <<<"$ours")" -eq 2 ] || fail "not one line per minute of the hour: $now"
quoted=${PROGRAM_FOLDER//\'/\'\\\'\'}  # as the shell reads it back, after cron's "\%" became "%"
grep -qxF "0 8,20 * * * test ! -x '$quoted/vantoril' || '$quoted/vantoril' --record --notify # vantoril-schedule" \
  <<<"${ours//\\%/%}" ||
  fail "the line does not run the program at its path: $ours"
[ "$(as_user "$PROGRAM_FOLDER/vantoril" --schedule 2>/dev/null)" = "$out" ] || fail "--schedule printed another state"

# With a stand-in daemon (a copy of sleep named cron): no warning, and the
# next run worked out from the times.
cp /bin/sleep "$WORK/cron"
"$WORK/cron" 120 &
STAND_IN_PID=$!
out=$(as_user "$PROGRAM_FOLDER/vantoril" --schedule 2>"$WORK/err")
status=$?
kill "$STAND_IN_PID" && wait "$STAND_IN_PID" 2>/dev/null
((status == 0)) || fail "--schedule failed: $out"
[ ! -s "$WORK/err" ] || fail "a warning while cron runs: $(cat "$WORK/err")"
next=$(date -d "$(sed -n 's/^下次运行：//p' <<<"$out")" +%s) || fail "no next run in: $out"
now=$(date +%s)
((next > now && next <= now + 86400)) || fail "the next run is not within a day: $out"
[ "$(date -d "@$next" +%H:%M)" = 08:00 ] || [ "$(date -d "@$next" +%H:%M)" = 20:00 ] ||
  [ "$(date -d "@$next" +%H:%M)" = 20:30 ] || fail "the next run is none of the times: $out"

# Again with other times: our lines are replaced, not added to.
as_user "$PROGRAM_FOLDER/vantoril" --schedule 7 >/dev/null || fail "--schedule 7 failed"
[ "$(crontab_of_user | grep -c ' # vantoril-schedule$')" -eq 1 ] || fail "old lines stayed: $(crontab_of_user)"

out=$(as_user "$PROGRAM_FOLDER/vantoril" --schedule off 2>&1) || fail "--schedule off failed: $out"
grep -qx "定时记录：关" <<<"$out" || fail "--schedule off did not say it is off: $out"
[ "$(crontab_of_user)" = "$mine" ] || fail "off did not give back the user's crontab as it was: $(crontab_of_user)"
out=$(as_user "$PROGRAM_FOLDER/vantoril" --schedule 25 2>&1) && fail "--schedule 25 succeeded: $out"
grep -q "“25”不是时间" <<<"$out" || fail "--schedule 25 did not say why: $out"

# A user without a crontab has none again after off.
crontab -r -u "$USER_NAME"
as_user "$PROGRAM_FOLDER/vantoril" --schedule 9 >/dev/null || fail "--schedule 9 failed"
as_user "$PROGRAM_FOLDER/vantoril" --schedule off >/dev/null || fail "--schedule off failed"
crontab_of_user | grep -q "^no crontab for" || fail "off left a crontab: $(crontab_of_user)"

# The systemd timer, through a stand-in systemctl first on PATH that answers
# as a user manager and writes down each command: this machine can start no
# user manager (see above). Our crontab lines go when the timer comes.
mkdir -p "$WORK/bin"
cat >"$WORK/bin/systemctl" <<SH
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/systemctl.log"
case "\$*" in
  *"show -p Version --value") echo 252 ;;
  *"show vantoril-record.timer"*) printf 'ActiveState=active\nNextElapseUSecRealtime=Tue 2026-12-08 08:00:00 UTC\n' ;;
esac
SH
chmod 755 "$WORK/bin/systemctl"
: >"$WORK/systemctl.log"
chmod 666 "$WORK/systemctl.log"
crontab -u "$USER_NAME" "$WORK/mine"
as_user "$PROGRAM_FOLDER/vantoril" --schedule 8,20 >/dev/null || fail "--schedule 8,20 (cron) failed"
units=/home/$USER_NAME/.config/systemd/user
USER_PATH=$WORK/bin:/usr/bin:/bin
out=$(as_user "$PROGRAM_FOLDER/vantoril" --schedule 7:30 2>&1) || fail "--schedule 7:30 (systemd) failed: $out"
grep -qx "定时记录：开（systemd 用户定时器）" <<<"$out" || fail "--schedule did not say it is on through systemd: $out"
[ "$(crontab_of_user)" = "$mine" ] || fail "the cron lines stayed beside the timer: $(crontab_of_user)"
grep -qx "OnCalendar=\*-\*-\* 07:30:00" "$units/vantoril-record.timer" || fail "the timer: $(cat "$units/vantoril-record.timer")"
grep -q '^ExecStart=.*--record' "$units/vantoril-record.service" || fail "the service: $(cat "$units/vantoril-record.service")"
grep -v ' show ' "$WORK/systemctl.log" >"$WORK/changes"
printf -- '--user %s\n' daemon-reload "enable vantoril-record.timer" "restart vantoril-record.timer" |
  cmp -s - "$WORK/changes" || fail "systemctl was told: $(cat "$WORK/changes")"
: >"$WORK/systemctl.log"
as_user "$PROGRAM_FOLDER/vantoril" --schedule off >/dev/null || fail "--schedule off (systemd) failed"
[ ! -e "$units/vantoril-record.timer" ] && [ ! -e "$units/vantoril-record.service" ] || fail "off left the units"
grep -v ' show ' "$WORK/systemctl.log" >"$WORK/changes"
printf -- '--user %s\n' "disable --now vantoril-record.timer" daemon-reload |
  cmp -s - "$WORK/changes" || fail "off told systemctl: $(cat "$WORK/changes")"
USER_PATH=/usr/bin:/bin
crontab -r -u "$USER_NAME"

# The window: the list's menu, "定时记录…", on, two times, OK.
start_x
install -d -m 700 -o "$USER_NAME" "$WORK/runtime"  # Qt's, gone with the test's folder
(cd "$PROGRAM_FOLDER" && exec setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups \
  env -i HOME="/home/$USER_NAME" USER="$USER_NAME" PATH=/usr/bin:/bin LC_ALL=C.UTF-8 DISPLAY="$DISPLAY" \
  XDG_RUNTIME_DIR="$WORK/runtime" ./vantoril) >"$WORK/program.log" 2>&1 &
APP_PID=$!
WINDOW=$(wait_shown '^Vantoril v 1\.0$' 20) || fail "the window did not appear: $(cat "$WORK/program.log")"
xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW"
measure_menu
sleep 1

open_dialog() {
  pointer 60 34 click 3
  sleep 1
  screenshot "schedule-menu-$1" root >/dev/null
  xdotool key Down Down Return  # no place is under the pointer: 按名称添加地名…, 定时记录…
  DIALOG=$(wait_box '^定时记录$' 10 "$WINDOW") || fail "the menu entry opened no dialog: $(cat "$WORK/program.log")"
}
open_dialog 1
xdotool key shift+Tab space Tab ctrl+a  # on, then the times
type_text "21,7:15"
screenshot schedule-dialog "$DIALOG" >/dev/null
xdotool key Return
if ! cron_running; then
  # Taken, but it will not run: a warning before the dialog goes.
  box=$(wait_box '^定时记录$' 10 "$DIALOG") || fail "no warning that cron does not run"
  shot=$(screenshot schedule-cron-warning "$box")
  [ "$(yellow_pixels "$shot")" -gt 50 ] || fail "the box after OK is no warning"
  xdotool key Return
fi
wait_gone '^定时记录$' 10 || fail "OK did not close the dialog"
ours=$(crontab_of_user | grep ' # vantoril-schedule$')
[ "$(cut -d' ' -f1-2 <<<"$ours" | sort)" = "$(printf '0 21\n15 7')" ] || fail "the dialog set: $ours"

# Opened again, it shows the state; off and OK takes the lines out.
open_dialog 2
screenshot schedule-state "$DIALOG" >/dev/null
xdotool key shift+Tab space Return
wait_gone '^定时记录$' 10 || fail "OK did not close the dialog"
crontab_of_user | grep -q "^no crontab for" || fail "off in the dialog left: $(crontab_of_user)"
grep -q . "$WORK/program.log" && echo "program output: $(cat "$WORK/program.log")"

echo "PASS: $TEST_NAME"
