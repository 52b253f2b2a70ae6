#!/usr/bin/env bash
# Runs the Windows build under wine, in a wine prefix of its own inside the
# build folder, with a Chinese UTF-8 locale (non-ASCII file names, and the
# ANSI code page 936 of a Chinese Windows).
#   scripts/wine.sh BUILD start          create the prefix, start the wineserver
#   scripts/wine.sh BUILD run PROG ARGS  run a program (CTest's emulator)
#   scripts/wine.sh BUILD stop           end the wineserver
set -euo pipefail
build=$(cd "$1" && pwd)
action=$2
shift 2
export WINEPREFIX=$build/wine/prefix WINEDEBUG=-all LOCPATH=$build/wine/locale
if [ ! -e "$LOCPATH/zh_CN.UTF-8" ]; then
  mkdir -p "$LOCPATH"
  localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" >/dev/null 2>&1 || true
fi
# Given to wine only: this shell does not know the locale.
in_locale=(env LC_ALL=zh_CN.UTF-8)
# No Mono or Gecko installer prompts; a caller may add overrides of its own.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset DISPLAY
case $action in
  start)
    mkdir -p "$WINEPREFIX"
    # The helper processes of wine keep the standard streams of whoever
    # started them open: none of them may be CTest's.
    "${in_locale[@]}" wineserver -p </dev/null >/dev/null 2>&1 || true  # may be running already
    "${in_locale[@]}" wineboot -i </dev/null >/dev/null 2>&1
    # A wineboot -i over a running prefix leaves the Task Scheduler's
    # service stopped: a fresh wineserver and the service started again.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    "${in_locale[@]}" wineserver -p </dev/null >/dev/null 2>&1 || true
    "${in_locale[@]}" wine net start schedule </dev/null >/dev/null 2>&1 || true
    ;;
  run) exec "${in_locale[@]}" wine "$@" ;;
  # Until the wineserver has gone: a wine started while it is going down
  # may fail to start.
  stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    ;;
  *) echo "usage: $0 BUILD start|run PROG ARGS|stop" >&2; exit 2 ;;
esac
