# Shared steps of the Windows window tests, after tests/gui/lib.sh: the wine
# prefix of scripts/wine.sh in BUILD (the tests' third argument), a wine
# session of its own on a private X server, and the design's Song face.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=$(cd "${3:?usage: $0 <program> <artefacts folder> <build folder>}" && pwd)
# No browser is started for a page the program opens (winebrowser off).
export WINEPREFIX=$BUILD/wine/prefix WINEDEBUG=-all LOCPATH=$BUILD/wine/locale \
  WINEDLLOVERRIDES="mscoree,mshtml=;winebrowser.exe=d"
command -v wine >/dev/null || fail "wine is not installed"

# The prefix made (without a display), then a wine session of its own on
# the X server: wine's desktop process, which every window needs, keeps the
# display of whoever started the session, and the tests before this one and
# the prefix's own start-up have none.
# $1: the screen's size, as start_x takes it.
start_wine_x() {
  "$ROOT/scripts/wine.sh" "$BUILD" start
  "$ROOT/scripts/wine.sh" "$BUILD" stop
  start_x "$@"
  # Wine has no SimSun: the Song face of the design is drawn with the
  # installed Chinese face (Zen Hei's bitmap strikes lose strokes under wine).
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"SimSun"="WenQuanYi Micro Hei"\r\n"\xcb\xce\xcc\xe5"="WenQuanYi Micro Hei"\r\n' \
    >"$WORK/fonts.reg"
  # The first wine of a session may meet the server of the last one going down.
  local try
  for try in 1 2 3; do
    LC_ALL=zh_CN.UTF-8 wine regedit /S "Z:$WORK/fonts.reg" </dev/null >"$WORK/regedit.log" 2>&1 && break
    [ "$try" -lt 3 ] || fail "cannot set the font replacement: $(cat "$WORK/regedit.log")"
    sleep 1
  done
}
