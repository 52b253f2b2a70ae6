# shellcheck shell=bash disable=SC2154  # build and root are the caller's
# Shared by the benchmark scripts (sourced, not run). Expects `root` (the
# source folder) and `build` (the build folder) to be set; sets `work`, a
# temporary folder removed at exit, and stops at exit every process recorded
# in `started`.

say() { printf '%s\n' "$*" >&2; }

# --- clean-up -----------------------------------------------------------------
work=$(mktemp -d "${TMPDIR:-/tmp}/vantoril-bench.XXXXXX")
started=()  # pids of every background process started here
cleanup() {
  { exec 7>&-; } 2>/dev/null || true
  local pid i
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  # A server that was still starting may miss the first signal.
  for pid in "${started[@]}"; do
    for ((i = 0; i < 30; i++)); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
# Drops a pid that has been waited for, so clean-up never signals a reused one.
forget() {
  local keep=() pid
  for pid in "${started[@]}"; do [[ $pid == "$1" ]] || keep+=("$pid"); done
  started=("${keep[@]}")
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# --- building -----------------------------------------------------------------
# Configures `build` with the benchmarks and builds the targets given.
build_bench() {  # target...
  say "== building in $build"
  mkdir -p "$build"
  cmake -S "$root" -B "$build" -G Ninja -DVANTORIL_BENCH=ON >"$build/bench-configure.log" 2>&1 ||
    { cat "$build/bench-configure.log" >&2; exit 1; }
  ninja -C "$build" -j2 "$@" >&2
}

# --- timing -------------------------------------------------------------------
# Microseconds of the wall clock (bash 5).
now() { local t=$EPOCHREALTIME; REPLY=${t//[.,]/}; }

# The median of the numbers given.
median() {
  local sorted
  sorted=$(printf '%s\n' "$@" | sort -n)
  sed -n "$(( ($# + 1) / 2 ))p" <<<"$sorted"
}

# Runs "$@" N times (after one warm-up) and prints the median in µs.
time_median() {  # N command...
  local n=$1; shift
  local samples=() i t0
  "$@" >/dev/null 2>&1 || true
  for ((i = 0; i < n; i++)); do
    now; t0=$REPLY
    "$@" >/dev/null 2>&1 || true
    now; samples+=($(( REPLY - t0 )))
  done
  median "${samples[@]}"
}

# Runs the commands given in turn (so that a burst of load on a shared
# machine falls on all alike), N rounds after a warm-up round, and
# sets took[command] to the µs of each round.
declare -A took
in_rounds() {  # N command...
  local n=$1 round command t0
  shift
  for command; do took[$command]=""; done
  for ((round = 0; round <= n; round++)); do
    for command; do
      now; t0=$REPLY
      "$command" >/dev/null 2>&1 || true
      now
      (( round == 0 )) || took[$command]+=" $(( REPLY - t0 ))"
    done
  done
}

ms() { printf '%d.%d' $(( $1 / 1000 )) $(( ($1 % 1000) / 100 )); }
ratio() { printf '%d.%02d' $(( $1 / $2 )) $(( ($1 % $2) * 100 / $2 )); }

# --- the page server ------------------------------------------------------------
# Starts serve_pages with the arguments given and sets `port`; the server
# ends when stop_server closes its input.
port=""
server_pid=""
start_server() {  # serve_pages arguments...
  mkfifo "$work/server.in"
  "$build/bench/serve_pages" "$@" <"$work/server.in" >"$work/port" 2>"$work/server.log" &
  server_pid=$!
  started+=("$server_pid")
  exec 7>"$work/server.in"
  local i
  for ((i = 0; i < 600; i++)); do [[ -s $work/port ]] && break; sleep 0.1; done
  port=$(head -n1 "$work/port")
  [[ $port =~ ^[0-9]+$ ]] || { cat "$work/server.log" >&2; say "serve_pages did not start"; exit 1; }
}
stop_server() {
  exec 7>&-
  local i
  for ((i = 0; i < 50; i++)); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  forget "$server_pid"
  rm -f "$work/server.in" "$work/port"
}

# Writes the catalogue of N places into FOLDER/WebSite, place i at
# http://127.0.0.1:$port/p<i>, and the same addresses as a curl config file
# (every page to /dev/null) to CONFIG.
make_catalogue() {  # FOLDER N CONFIG
  rm -rf "$1/WebSite" "$1/WeatherData"
  mkdir "$1/WebSite"
  local i
  for ((i = 0; i < $2; i++)); do
    printf 'http://127.0.0.1:%s/p%04d\r\n' "$port" "$i" >"$1/WebSite/$(printf '地点%04d' "$i").txt"
  done
  : >"$3"
  for ((i = 0; i < $2; i++)); do
    printf 'url = "http://127.0.0.1:%s/p%04d"\noutput = "/dev/null"\n' "$port" "$i" >>"$3"
  done
}

# The folder of demo pages unless BENCH_PAGES says otherwise: "" means the
# pages serve_pages makes.
page_folder() {
  local folder=${BENCH_PAGES:-}
  if [[ $folder == made ]]; then
    folder=""
  elif [[ -z $folder ]] && compgen -G "$root/demo/pages/*.html" >/dev/null; then
    folder=$root/demo/pages
  fi
  printf '%s' "$folder"
}

# FOLDER with N places (地点000…) and their data files of RECORDS records,
# twelve hours apart from START ("2025-01-01 08"), or ending at this hour
# (Beijing time) when START is "now".
make_recorded_places() {  # FOLDER N RECORDS START
  mkdir -p "$1/WebSite" "$1/WeatherData"
  python3 - "$@" <<'PY'
import datetime, shutil, sys
folder, places, records, start = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
if start == "now":
    end = datetime.datetime.utcnow().replace(minute=0, second=0, microsecond=0) + datetime.timedelta(hours=8)
    start = end - datetime.timedelta(hours=12 * (records - 1))
else:
    start = datetime.datetime.strptime(start, "%Y-%m-%d %H")
out = ["天气数据文件"]
for n in range(records):
    t = start + datetime.timedelta(hours=12 * n)
    out += ["数据记录时间:" + t.strftime("%Y%m%d%H"), "整点\t气温\t降水\t湿度"]
    for r in range(25):
        h = t - datetime.timedelta(hours=24 - r)
        out.append(f"{h.hour:02d}\t{(n * 7 + r * 3) % 400 / 10 - 5:.1f}\t{(r * n) % 13 / 10:.1f}\t{40 + (n + r) % 60}")
    out.append("")
first = f"{folder}/WeatherData/地点000-WeatherData.xls"
open(first, "wb").write(("\r\n".join(out) + "\r\n").encode("gbk"))
for p in range(places):
    name = f"地点{p:03d}"
    open(f"{folder}/WebSite/{name}.txt", "wb").write("http:\r\n".encode("gbk"))
    if p: shutil.copyfile(first, f"{folder}/WeatherData/{name}-WeatherData.xls")
PY
}
