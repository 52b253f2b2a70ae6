#!/usr/bin/env bash
# The Debian package, installed for real with apt-get in a fresh Debian 12
# root (debootstrap, minbase) from the mirror this machine uses: the
# package pulls in what it needs, an ordinary user's --record writes into
# ~/.local/share/vantoril, root's into root's own folder (never into the
# program's), and removing the package leaves the data and makes the
# user's schedule do nothing until it is installed again. The debootstrap
# tarball is kept beside the package, so later runs fetch nothing for it.
#   tests/packages/deb_install_test.sh DEB
set -euo pipefail
export LC_ALL=C.UTF-8
repo=$(cd "$(dirname "$0")/../.." && pwd)
deb=$(realpath "$1")
cache=$(dirname "$deb")/debootstrap-bookworm.tar.gz
skip() { echo "SKIP (deb_install_test): $*"; exit 0; }
fail() { echo "FAIL (deb_install_test): $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "making a Debian root needs root"
for tool in debootstrap chroot mount dpkg-deb; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
# A system has one or the other list (a fresh debootstrap root only the old one).
mirror=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1 || true)
[ -n "$mirror" ] || mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\?\([^ ]*\) bookworm .*/\2/p' /etc/apt/sources.list 2>/dev/null | head -n1 || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
version=$(dpkg-deb -f "$deb" Version)

work=$(mktemp -d /tmp/vantoril-deb.XXXXXX)
target=$work/root
cleanup() {
  mountpoint -q "$target/proc" 2>/dev/null && umount "$target/proc"
  mountpoint -q "$target/proc" 2>/dev/null || rm -rf "$work"
}
trap cleanup EXIT

if [ ! -s "$cache" ]; then
  debootstrap --variant=minbase --make-tarball="$cache.part" bookworm "$work/fetch" "$mirror" \
    >"$work/fetch.log" 2>&1 || skip "debootstrap could not fetch Debian 12 from $mirror: $(tail -n3 "$work/fetch.log")"
  mv "$cache.part" "$cache"
  rm -rf "$work/fetch"
fi
debootstrap --variant=minbase --unpack-tarball="$cache" bookworm "$target" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  fail "debootstrap from $cache failed: $(tail -n5 "$work/debootstrap.log")"
cp /etc/resolv.conf "$target/etc/resolv.conf"
mount -t proc proc "$target/proc"  # the program finds its folder through /proc/self/exe
in_root() { chroot "$target" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }
as_user() { chroot --userspec=tester:tester "$target" env -i HOME=/home/tester PATH=/usr/bin:/bin LC_ALL=C.UTF-8 "$@"; }
in_root apt-get update -qq >"$work/update.log" 2>&1 || skip "apt-get cannot reach $mirror: $(tail -n3 "$work/update.log")"

cp "$deb" "$target/tmp/"
start=$(date +%s%N)
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  fail "apt-get install failed: $(tail -n20 "$work/install.log")"
echo "apt-get install took $(( ($(date +%s%N) - start) / 1000000 )) ms (with its dependencies)"

# What the program starts or loads at run time came with it.
for p in qt6-qpa-plugins qt6-translations-l10n xdg-utils ca-certificates fonts-wqy-microhei; do
  in_root dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || fail "$p was not installed"
done
# Qt's Chinese texts where the window looks for them (Qt's translations folder).
in_root test -s /usr/share/qt6/translations/qtbase_zh_CN.qm || fail "Qt's Chinese texts are not installed"
for library in /usr/lib/vantoril/vantoril /usr/lib/vantoril/vantoril-window.so \
  /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so; do
  missing=$(in_root ldd "$library" | grep 'not found' || true)
  [ -z "$missing" ] || fail "$library misses libraries: $missing"
done
[ "$(in_root readlink -f /usr/bin/vantoril)" = /usr/lib/vantoril/vantoril ] || fail "/usr/bin/vantoril is not the program"
in_root grep -q '<title>Vantoril 使用说明</title>' /usr/lib/vantoril/guide.html || fail "the user guide is not beside the program"

in_root useradd -m tester
out=$(as_user vantoril --version) || fail "vantoril --version failed: $out"
[ "$out" = "vantoril $version" ] || fail "vantoril --version says '$out', the package is $version"

# The first run makes the user's folder (--version does not); the second
# records the place added there, over a file:// page.
home_data=/home/tester/.local/share/vantoril
[ ! -e "$target$home_data" ] || fail "vantoril --version made $home_data"
out=$(as_user vantoril --record 2>&1) || fail "--record with no places failed: $out"
[ -d "$target$home_data" ] || fail "$home_data was not made"
cp "$repo/tests/data/hangzhou-2014.html" "$target/tmp/page.html"
chmod 644 "$target/tmp/page.html"
add_place() {
  mkdir -p "$target$1/WebSite"
  printf 'file:///tmp/page.html\r\n' >"$target$1/WebSite/北京.txt"
}
add_place "$home_data"
in_root chown -R tester:tester /home/tester/.local
out=$(as_user vantoril --record 2>&1) || fail "--record failed: $out"
grep -qx $'北京\t2014061914' <<<"$out" || fail "no line for 北京: $out"
expected=$repo/tests/data/hangzhou-2014.WeatherData.xls
cmp "$target$home_data/WeatherData/北京-WeatherData.xls" "$expected" || fail "the user's data file differs"

# Root may write the program's folder, but it belongs to the package: root's
# places and data go to root's own folder as well.
out=$(in_root vantoril --record 2>&1) || fail "root's --record failed: $out"
add_place /root/.local/share/vantoril
out=$(in_root vantoril --record 2>&1) || fail "root's --record failed: $out"
cmp "$target/root/.local/share/vantoril/WeatherData/北京-WeatherData.xls" "$expected" || fail "root's data file differs"
[ "$(ls "$target/usr/lib/vantoril" | tr '\n' ' ')" = "guide.html vantoril vantoril-window.so " ] ||
  fail "files beside the installed program: $(ls "$target/usr/lib/vantoril")"

# The user's schedule (a crontab line: no user manager here), left on over
# the removal: its command, run as cron runs it, does nothing and says
# nothing while the program is gone, and records again once it is back.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq cron >"$work/cron.log" 2>&1 ||
  fail "apt-get install cron failed: $(tail -n20 "$work/cron.log")"
out=$(as_user vantoril --schedule 8 2>&1) || fail "--schedule 8 failed: $out"
command=$(in_root crontab -l -u tester | sed -n 's/^0 8 \* \* \* \(.*\) # vantoril-schedule$/\1/p')
[ -n "$command" ] || fail "no schedule line in the crontab: $(in_root crontab -l -u tester)"
as_cron() { as_user SHELL=/bin/sh LOGNAME=tester sh -c "$command" 2>&1; }

in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vantoril >"$work/remove.log" 2>&1 ||
  fail "apt-get remove failed: $(tail -n20 "$work/remove.log")"
[ ! -e "$target/usr/lib/vantoril" ] && [ ! -L "$target/usr/bin/vantoril" ] || fail "apt-get remove left the program"
cmp "$target$home_data/WeatherData/北京-WeatherData.xls" "$expected" || fail "apt-get remove took the user's data"
[ -f "$target$home_data/WebSite/北京.txt" ] || fail "apt-get remove took the user's places"
rm "$target$home_data/WeatherData/北京-WeatherData.xls"
out=$(as_cron) || fail "the scheduled command of a removed program failed: $out"
[ -z "$out" ] && [ ! -e "$target$home_data/WeatherData/北京-WeatherData.xls" ] ||
  fail "the scheduled command of a removed program did something: $out"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >"$work/install.log" 2>&1 ||
  fail "apt-get install again failed: $(tail -n20 "$work/install.log")"
out=$(as_cron) || fail "the scheduled command after a reinstall failed: $out"
cmp "$target$home_data/WeatherData/北京-WeatherData.xls" "$expected" || fail "the schedule did not record after a reinstall: $out"
out=$(as_user vantoril --schedule off 2>&1) || fail "--schedule off after a reinstall failed: $out"
! in_root crontab -l -u tester 2>/dev/null | grep -q 'vantoril-schedule' || fail "--schedule off left the line"
echo "PASS: deb_install_test"
