# Shared steps of the window tests: a private X server, a fresh program
# folder with its catalogue, the running program and its screenshots.
# Sourced by the *_test.sh scripts; every process started here is ended by
# the exit trap.
set -u
# xdotool types Chinese text only in a UTF-8 locale, whatever the caller has.
export LC_ALL=C.UTF-8
# No display but the one start_x starts: never the caller's, nor :0.
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY

PROGRAM=${1:?usage: $0 <program> <artefacts folder>}
ARTEFACTS=${2:?usage: $0 <program> <artefacts folder>}
TEST_NAME=$(basename "$0" .sh)
mkdir -p "$ARTEFACTS"
WORK=$(mktemp -d "/tmp/vantoril-$TEST_NAME.XXXXXX")
XVFB_PID=
APP_PID=
# The menu bar's height: the designed client area lies beneath it.
MENU_HEIGHT=0

SERVER_PID=
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  [ -n "$SERVER_PID" ] && kill "$SERVER_PID" 2>/dev/null && wait "$SERVER_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($TEST_NAME): $*" >&2
  [ -n "${WINDOW:-}" ] && screenshot "$TEST_NAME-failure" >/dev/null 2>&1
  exit 1
}

for tool in Xvfb xdotool xmodmap xprop import convert iconv; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

# Starts Xvfb on a display number it picks itself ($1: the screen's size,
# 1280x1024 unless given), and checks before use
# that the display answers and is this test's: a root-window property set
# through it reads back (-noreset: the last client leaving keeps it), and
# the Xvfb still runs. (Another machine's suite
# may hold or take a display number meanwhile; each test then tries anew,
# never falling back to a display it did not start.)
start_x() {
  local fifo="$WORK/displayfd" number try
  for ((try = 1; try <= 3; try++)); do
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset 3>"$fifo" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    number=
    read -r -t 20 number <"$fifo"
    if [ -n "$number" ] && kill -0 "$XVFB_PID" 2>/dev/null &&
      timeout 10 xprop -display ":$number" -root -f VANTORIL_TEST 8s -set VANTORIL_TEST "$WORK" 2>/dev/null &&
      [ "$(timeout 10 xprop -display ":$number" -root VANTORIL_TEST 2>/dev/null)" = "VANTORIL_TEST(STRING) = \"$WORK\"" ] &&
      kill -0 "$XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$number"
      return 0
    fi
    echo "Xvfb try $try: display '${number}' did not answer as this test's: $(cat "$WORK/xvfb.log")" >&2
    kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=
  done
  fail "no display of this test's own after 3 tries"
}

# A program folder of its own: the program file, and WebSite/ with one
# catalogue file per argument "name=address" (GBK, CR LF). No argument: no
# WebSite folder at all.
make_program_folder() {
  PROGRAM_FOLDER="$WORK/program"
  rm -rf "$PROGRAM_FOLDER"
  mkdir -p "$PROGRAM_FOLDER"
  cp "$PROGRAM" "$PROGRAM_FOLDER/vantoril"
  # The window module lies beside the program.
  cp "$(dirname "$PROGRAM")/vantoril-window.so" "$PROGRAM_FOLDER/" || fail "no window module beside $PROGRAM"
  # And the user guide, which 作者博客 and 帮助 → 使用说明 open.
  cp "$(dirname "$PROGRAM")/guide.html" "$PROGRAM_FOLDER/" || fail "no user guide beside $PROGRAM"
  local entry
  for entry in "$@"; do
    mkdir -p "$PROGRAM_FOLDER/WebSite"
    printf '%s\r\n' "${entry#*=}" | iconv -f UTF-8 -t GBK >"$PROGRAM_FOLDER/WebSite/${entry%%=*}.txt" ||
      fail "cannot write the catalogue file of ${entry%%=*}"
  done
}

# Starts the program and waits for its window; WINDOW is its X id.
start_program() {
  (cd "$PROGRAM_FOLDER" && exec ./vantoril) >"$WORK/program.log" 2>&1 &
  APP_PID=$!
  WINDOW=$(wait_shown '^Vantoril v 1\.0$' 20)
  [ -n "$WINDOW" ] || fail "the window did not appear; program output: $(cat "$WORK/program.log")"
  xdotool windowfocus --sync "$WINDOW" 2>/dev/null || xdotool windowfocus "$WINDOW"
  measure_menu
  sleep 1
}

# MENU_HEIGHT from the window WINDOW: all it has above the client area of
# the design (1022 x 570), which must be a menu bar's worth.
measure_menu() {
  local geometry width height
  geometry=$(xdotool getwindowgeometry --shell "$WINDOW")
  width=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
  height=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
  MENU_HEIGHT=$((height - 570))
  [ "$width" -eq 1022 ] && ((MENU_HEIGHT >= 15 && MENU_HEIGHT <= 40)) ||
    fail "the window is ${width}x$height: not the client area of 1022x570 under a menu bar"
}

# Fails unless the client area is the design's, right beneath the menu
# bar: the yellow of 新建 (Command6, 112 8 57 17) fills its rows 11 and 21
# beside its caption, and not rows 5 and 27 above and below it; and the
# menu bar shows its titles. Screenshots $1-window.png (the client area)
# and $1-menu-bar.png (the whole window), taken until the window is drawn
# (wine draws a new window late on a busy machine), for up to 30 s.
client_in_place() {
  local shot whole row n why deadline=$((SECONDS + 30))
  while :; do
    shot=$(screenshot "$1-window")
    whole=$(screenshot "$1-menu-bar" "$WINDOW")
    why=
    for row in 5:0 11:1 21:1 27:0; do
      n=$(convert "$shot" \( -clone 0 -crop "8x1+115+${row%:*}" \) \( -clone 0 -crop "8x1+158+${row%:*}" \) -delete 0 \
        +append +repage -fx '(r>0.9 && g>0.9 && b<0.85) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:)
      if [ "${row#*:}" -eq 1 ]; then [ "$n" -ge 14 ]; else [ "$n" -le 2 ]; fi ||
        why="${why}row ${row%:*} of 新建 has $n yellow pixels; "
    done
    n=$(dark_pixels "$whole" 0 0 300 "$MENU_HEIGHT")
    [ "$n" -gt 100 ] || why="${why}the menu bar shows no titles ($n dark pixels)"
    [ -z "$why" ] && return 0
    ((SECONDS < deadline)) || fail "the client area is not right beneath the menu bar: $why(see $shot, $whole)"
    sleep 0.5
  done
}

# Moves the pointer to x y of the client area, then does the rest of the
# arguments (xdotool's: click 3, say).
pointer() {
  local x=$1 y=$2
  shift 2
  xdotool mousemove --window "$WINDOW" "$x" $((y + MENU_HEIGHT)) "$@"
}

stop_program() {
  if [ -n "$APP_PID" ]; then
    kill "$APP_PID" 2>/dev/null
    wait "$APP_PID" 2>/dev/null
  fi
  APP_PID=
  WINDOW=
}

# Saves the window's client area (or the whole window $2) as <name>.png in
# the artefacts folder and prints its path.
screenshot() {
  local file="$ARTEFACTS/$1.png"
  if [ -n "${2:-}" ]; then
    import -window "$2" "$file" || fail "no screenshot $1"
  else
    import -window "$WINDOW" png:- | convert - -crop "1022x570+0+$MENU_HEIGHT" +repage "$file" || fail "no screenshot $1"
  fi
  echo "$file"
}

# Number of dark pixels (text) in a rectangle of a screenshot: x y w h.
dark_pixels() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -threshold 45% -negate \
    -format '%[fx:round(mean*w*h)]' info:
}

# Pixels of the dark red of the place-name box in a rectangle: x y w h.
red_pixels() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -fx '(r>0.45 && g<0.35 && b<0.35) ? 1 : 0' \
    -format '%[fx:round(mean*w*h)]' info:
}

# Pixels of the yellow of a warning icon, and of the blue of an information
# icon, in a whole screenshot (a message box).
yellow_pixels() {
  convert "$1" -fx '(r>0.75 && g>0.6 && b<0.3) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:
}
blue_pixels() {
  convert "$1" -fx '(b>0.6 && r<0.4 && b>g+0.15) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:
}

# Mean grey level (0..1) of a rectangle and its standard deviation.
area_stats() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -format '%[fx:mean] %[fx:standard_deviation]' info:
}

# Clicks the centre of a control given in twips: left top width height.
click_twips() {
  pointer $((($1 + $3 / 2) / 15)) $((($2 + $4 / 2) / 15)) click 1
  sleep 0.5
}

# The visible windows whose name matches $1, one id a line. xdotool search
# dies of an X error when a window it is looking at goes away meanwhile (as
# a closed input box does); such a search is made again.
shown_windows() {
  local found try
  for ((try = 0; try < 10; try++)); do
    found=$(xdotool search --onlyvisible --name "$1" 2>"$WORK/search.err")
    grep -q 'X Error' "$WORK/search.err" || break
  done
  [ -n "$found" ] && echo "$found"
}

# Waits up to $2 seconds for a visible window whose name matches $1, other
# than the window $3 if given; prints its id.
wait_shown() {
  local deadline=$((SECONDS + $2)) found
  while ((SECONDS < deadline)); do
    found=$(shown_windows "$1" | grep -vx "${3:-none}" | head -n 1)
    [ -n "$found" ] && echo "$found" && return 0
    sleep 0.1
  done
  return 1
}

# Runs a command (a test's own function, say) every 0.2 s until it succeeds,
# for up to $1 seconds; fails after that.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# Waits up to $2 seconds until no visible window other than $3 matches $1.
wait_gone() {
  local deadline=$((SECONDS + $2))
  while ((SECONDS < deadline)); do
    [ -z "$(shown_windows "$1" | grep -vx "${3:-none}")" ] && return 0
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for a box (an input or message box) whose name
# matches $1, other than the window $3, to show and take the keyboard focus;
# prints its id. Keys for the box then go through plain `xdotool key`:
# `xdotool key --window` presses a key through XTEST while the box has the
# focus, but sends the release as a synthetic event once the press has
# closed the box, and the X server then repeats the key it still holds down
# into whatever opens next.
wait_box() {
  local deadline=$((SECONDS + $2)) box
  box=$(wait_shown "$@") || return 1
  while ((SECONDS < deadline)); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$box" ] && echo "$box" && return 0
    sleep 0.1
  done
  return 1
}

# Types text as the user would. Characters the keyboard map lacks are first
# bound to spare key codes, and stay bound: xdotool would otherwise bind
# each in turn to one scratch key code, and a program that reads the map
# late sees the next character's binding ("广州" arrives as "州州").
type_text() {
  local char hex code
  while IFS= read -r -n 1 char; do
    [ -n "$char" ] || continue
    hex=$(printf '%04X' "'$char")
    ((16#$hex >= 128)) || continue
    xmodmap -pke | grep -q " U$hex\b" && continue
    code=$(xmodmap -pke | awk 'NF == 3 && $1 == "keycode" { k = $2 } END { print k }')
    [ -n "$code" ] || fail "no spare key code for $char"
    xmodmap -e "keycode $code = U$hex"
  done <<<"$1"
  xdotool type --delay 30 "$1"
}

# A loopback server that sends the file $1 to every request in $2 pieces,
# $3 seconds apart; PORT is its port. Ended by the exit trap.
start_dripping_server() {
  python3 -u - "$@" >"$WORK/port" 2>"$WORK/server.log" <<'PY' &
import http.server, sys, time
body = open(sys.argv[1], "rb").read()
step, delay = len(body) // int(sys.argv[2]) + 1, float(sys.argv[3])
class Dripping(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        for at in range(0, len(body), step):
            self.wfile.write(body[at:at + step])
            self.wfile.flush()
            time.sleep(delay)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Dripping)
print(server.server_address[1])
server.serve_forever()
PY
  SERVER_PID=$!
  wait_until 10 test -s "$WORK/port" || fail "the dripping server did not start: $(cat "$WORK/server.log")"
  PORT=$(head -n 1 "$WORK/port")
}

# Fails unless the window $1 lies within a screen $2 pixels tall and is
# less than $3 pixels tall; $4 says what it is.
fits_on_screen() {
  local geometry y height
  geometry=$(xdotool getwindowgeometry --shell "$1")
  y=$(sed -n 's/^Y=//p' <<<"$geometry")
  height=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
  ((y >= 0 && y + height <= $2 && height < $3)) || fail "$4 is $height pixels tall at $y on a $2-pixel screen"
}
