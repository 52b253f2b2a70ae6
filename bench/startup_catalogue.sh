# The start-up catalogue of the benchmarks, sourced by them:
#   make_startup_catalogue FOLDER PLACES FOLDERS
# writes FOLDER/WebSite with PLACES catalogue files spread over FOLDERS
# subfolders; every other place has an ASCII name.
make_startup_catalogue() {
  local f p n dir name per=$(( $2 / $3 ))
  mkdir -p "$1/WebSite"
  for ((f = 1; f <= $3; f++)); do
    dir=$(printf '%s/WebSite/区域%03d' "$1" "$f")
    mkdir "$dir"
    for ((p = 1; p <= per; p++)); do
      n=$(( (f - 1) * per + p ))
      if (( n % 2 )); then name=$(printf '站点%05d' "$n"); else name=$(printf 'station%05d' "$n"); fi
      printf 'http://www.weather.com.cn/weather1d/1012%05d.shtml\r\n' "$n" >"$dir/$name.txt"
    done
  done
}
