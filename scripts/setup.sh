#!/usr/bin/env bash
# Installs, with apt-get, whatever is missing:
#   scripts/setup.sh           what building and running the program needs
#   scripts/setup.sh --windows that, and the Windows cross build and its zip
#   scripts/setup.sh --tests   all that, and what the tests need (Xvfb, wine,
#                              the desktop tools, chromium for the chart page)
set -euo pipefail

packages=(
  # building
  g++ cmake ninja-build pkg-config libcli11-dev
  qt6-base-dev libcurl4-openssl-dev zlib1g-dev
  # the notification of a scheduled run: libnotify's headers (the library
  # itself is loaded when a notification is shown)
  libnotify-dev
  # dpkg-shlibdeps, for the Debian package (scripts/package.sh)
  dpkg-dev
  # running: the window's platform plugin, Qt's own texts in Chinese and a
  # Chinese font, the https downloads' certificates, and xdg-open for
  # files, folders and pages
  qt6-qpa-plugins qt6-translations-l10n fonts-wqy-microhei ca-certificates xdg-utils
)
case "${1:-}" in --windows | --tests)
  packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev imagemagick zip nsis) ;;
esac
if [ "${1:-}" = --tests ]; then
  packages+=(
    libgtest-dev libbenchmark-dev openssl python3 curl
    xvfb xdotool x11-utils x11-xserver-utils imagemagick
    desktop-file-utils shared-mime-info libglib2.0-bin
    wine wine64 locales
    # the packages installed for real: a fresh Debian root, lintian
    debootstrap lintian
    # the schedule's tests: a real crontab for a throwaway user, systemd-analyze
    cron systemd
    # the chart page opened in a browser
    chromium
    # the order in which the data files reach the disk, seen from outside
    strace
    # the scheduled run's notification: a session bus and a notification server
    dbus-daemon dbus-bin notification-daemon
    # the exported table read back by a spreadsheet (soffice --headless)
    libreoffice-calc-nogui
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
