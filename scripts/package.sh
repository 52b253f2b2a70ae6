#!/usr/bin/env bash
# Makes the packages of the program:
#   build/vantoril_<version>_amd64.deb       the Debian package (Debian 12)
#   build-win/vantoril-setup-<version>.exe   the Windows setup program (NSIS)
#   build-win/vantoril-windows-x64.zip       the portable Windows folder:
#     vantoril.exe, vantoril.com, README.txt, LICENSE.txt, guide.html and the empty folders WebSite and
#     WeatherData, all in a folder named vantoril
#   scripts/package.sh [deb|windows]         only those of one system
# The version is the program's own (vantoril --version), which CMake's
# project() sets: read from the header it is built with.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case $what in all | deb | windows) ;; *) echo "usage: $0 [deb|windows]" >&2; exit 2 ;; esac
die() {
  echo "package: $*" >&2
  exit 1
}
# The version the program in the build folder $1 was built with.
version_of() {
  local version
  version=$(sed -n 's/^#define VANTORIL_VERSION "\(.*\)"$/\1/p' "$1/generated/vantoril_version.h")
  [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "no version in $1/generated/vantoril_version.h"
  echo "$version"
}

# The Debian package, from a staged tree with dpkg-deb rather than CPack:
# the tree is what the package holds, file by file, in one place beside the
# Windows packages; Depends comes from dpkg-shlibdeps all the same.
make_deb() {
  scripts/setup.sh
  # Only the program and its window, no tests, in a build folder of its own
  # with the distribution's flags: hardened as Debian builds its packages
  # (fortify, stack protector, PIE, read-only relocations bound at start).
  local build=build-deb CPPFLAGS CFLAGS CXXFLAGS LDFLAGS
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh | grep -E '^export (CPPFLAGS|CFLAGS|CXXFLAGS|LDFLAGS)=')"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTORIL_TESTS=OFF \
    -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" \
    >/dev/null
  ninja -C "$build" vantoril
  local version
  version=$(version_of "$build")
  head -n1 packaging/debian/changelog | grep -q "^vantoril ($version) " ||
    die "packaging/debian/changelog does not start with an entry for $version"

  # The tree in the layout dpkg-shlibdeps knows: debian/control beside the
  # package's tree debian/vantoril.
  local work=build/deb root=build/deb/debian/vantoril
  rm -rf "$work"
  mkdir -p "$root"
  # The program and its window module, with the install RPATH, stripped as
  # Debian strips.
  cmake --install "$build" --prefix "$PWD/$root/usr" >/dev/null
  strip --strip-unneeded --remove-section=.comment --remove-section=.note \
    "$root/usr/lib/vantoril/vantoril" "$root/usr/lib/vantoril/vantoril-window.so"
  mkdir -p "$root/usr/bin"
  ln -s ../lib/vantoril/vantoril "$root/usr/bin/vantoril"

  # The menu entry, the icon, the file type of the data files and their
  # LibreOffice opener, as scripts/install.sh makes them for one user.
  (
    source scripts/desktop/common.sh
    mkdir -p "$root/usr/share/applications" "$root/usr/share/mime/packages" \
      "$root/usr/share/icons/hicolor/64x64/apps"
    menu_entry_text vantoril >"$root/usr/share/applications/vantoril.desktop"
    data_entry_text soffice soffice >"$root/usr/share/applications/vantoril-weatherdata.desktop"
    cp scripts/desktop/vantoril-weatherdata.xml "$root/usr/share/mime/packages/"
    cp resources/vantoril.png "$root/usr/share/icons/hicolor/64x64/apps/vantoril.png"
  )
  mkdir -p "$root/usr/share/man/man1" "$root/usr/share/doc/vantoril"
  sed "s/@VERSION@/$version/" packaging/debian/vantoril.1 | gzip -9n >"$root/usr/share/man/man1/vantoril.1.gz"
  cp packaging/debian/copyright "$root/usr/share/doc/vantoril/copyright"
  mkdir -p "$root/usr/share/lintian/overrides"
  cp packaging/debian/lintian-overrides "$root/usr/share/lintian/overrides/vantoril"
  gzip -9n <packaging/debian/changelog >"$root/usr/share/doc/vantoril/changelog.gz"
  find "$root" -type d -exec chmod 755 {} +
  find "$root" -type f -exec chmod 644 {} +
  chmod 755 "$root/usr/lib/vantoril/vantoril"

  # Depends: the libraries the program and its window link, then what it
  # loads or starts at run time: libnotify for the notification of a
  # scheduled run, the window's platform plugin and Qt's own Chinese texts,
  # xdg-open for files, folders and pages, sensible-browser for a user's
  # $BROWSER, and the certificates of the https downloads.
  mkdir -p "$root/DEBIAN"
  printf 'Source: vantoril\n\nPackage: vantoril\nArchitecture: amd64\n' >"$work/debian/control"
  local libraries
  libraries=$(cd "$work" && dpkg-shlibdeps -O debian/vantoril/usr/lib/vantoril/vantoril \
    debian/vantoril/usr/lib/vantoril/vantoril-window.so)
  libraries=${libraries#shlibs:Depends=}
  [ -n "$libraries" ] || die "dpkg-shlibdeps found no libraries"

  cat >"$root/DEBIAN/control" <<CONTROL
Package: vantoril
Version: $version
Architecture: amd64
Maintainer: Vantoril maintainers <maintainers@users.noreply.c-seed-75a4c1f9.example>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $libraries, libnotify4, qt6-qpa-plugins, qt6-translations-l10n, xdg-utils, sensible-utils, ca-certificates
Recommends: fonts-wqy-microhei
Suggests: libreoffice-calc
Section: utils
Priority: optional
Description: records live weather observations for a list of places
 Vantoril records the live weather observations of the places in its list
 from the China Weather site into one data file per place, GBK text with
 tabs that a spreadsheet opens, and draws a chart of a place's data. It
 records from its window or without one (vantoril --record), for instance
 from a crontab.
 .
 The places and the data of each user live in ~/.local/share/vantoril.
CONTROL
  (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
  chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
  rm -f build/vantoril_*_amd64.deb
  dpkg-deb --root-owner-group -Zxz --build "$root" "build/vantoril_${version}_amd64.deb" >/dev/null
  echo "build/vantoril_${version}_amd64.deb"
}

make_windows() {
  scripts/setup.sh --windows
  cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli >/dev/null
  ninja -C build-win vantoril vantoril_console
  local stage=build-win/package
  rm -rf "$stage" build-win/vantoril-windows-x64.zip
  mkdir -p "$stage/vantoril/WebSite" "$stage/vantoril/WeatherData"
  x86_64-w64-mingw32-strip -o "$stage/vantoril/vantoril.exe" build-win/vantoril.exe
  x86_64-w64-mingw32-strip -o "$stage/vantoril/vantoril.com" build-win/vantoril.com
  # The README of this version, and the licence with the notice of the
  # third-party parts, with Windows line ends.
  local version
  version=$(version_of build-win)
  sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/README.txt.in >"$stage/vantoril/README.txt"
  cat packaging/NOTICE.txt LICENSE | sed 's/$/\r/' >"$stage/vantoril/LICENSE.txt"
  cp resources/guide.html "$stage/vantoril/guide.html"
  (cd "$stage" && zip -q -r -X ../vantoril-windows-x64.zip vantoril)
  echo "build-win/vantoril-windows-x64.zip"

  # The setup program (packaging/windows/vantoril.nsi), named with the
  # version the program was built with.
  rm -f build-win/vantoril-setup-*.exe
  makensis -V2 -WX -DVERSION="$version" -DPROGRAM="$PWD/$stage/vantoril/vantoril.exe" \
    -DCONSOLE="$PWD/$stage/vantoril/vantoril.com" -DREADME="$PWD/$stage/vantoril/README.txt" \
    -DLICENCE="$PWD/$stage/vantoril/LICENSE.txt" -DGUIDE="$PWD/$stage/vantoril/guide.html" \
    -DICON="$PWD/build-win/vantoril.ico" -DOUTFILE="$PWD/build-win/vantoril-setup-$version.exe" \
    packaging/windows/vantoril.nsi >/dev/null
  echo "build-win/vantoril-setup-$version.exe"
}

case $what in
  all) make_deb; make_windows ;;
  deb) make_deb ;;
  windows) make_windows ;;
esac
