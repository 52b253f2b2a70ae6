#!/usr/bin/env bash
# scripts/install.sh and scripts/uninstall.sh in a home folder of their own
# (never the user's): the program folder and its link, the menu entry, the
# file type of the data files and the program that opens them, a reinstall,
# the uninstall; and, where LibreOffice is installed, a data file read
# through the installed entry's command line, cell by cell.
#   install_test.sh <program file>
set -euo pipefail
PROGRAM=${1:?usage: $0 <program file>}
REPO=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d /tmp/vantoril-install_test.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

fail() {
  echo "FAIL (install_test): $*" >&2
  exit 1
}
for tool in desktop-file-validate update-mime-database update-desktop-database xdg-mime gio iconv python3; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh installs it)"
done

# Stand-ins first on PATH, which note what they are told: a systemctl that
# answers as a user manager (this machine has none to start), and a crontab
# of a user who has none (never the machine's own).
mkdir -p "$WORK/bin"
cat >"$WORK/bin/systemctl" <<SH
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/systemctl.log"
[ "\$*" != "--user show -p Version --value" ] || echo 252
SH
printf '#!/bin/sh\necho "no crontab for you" >&2\nexit 1\n' >"$WORK/bin/crontab"
chmod +x "$WORK/bin/systemctl" "$WORK/bin/crontab"
export PATH="$WORK/bin:$PATH"

# A blank and Chinese in the home folder's name, so that the paths in the
# entries need their quoting.
export HOME="$WORK/home of 张三"
export XDG_DATA_HOME="$HOME/data" XDG_CONFIG_HOME="$HOME/config"
# xdg-mime asks GIO, as on GNOME, Xfce, MATE, Cinnamon and LXDE desktops.
export XDG_CURRENT_DESKTOP=GNOME
# The system's file types of shared-mime-info alone, in a database of the
# test's own, and no system menu entries or defaults: a machine with the
# package installed knows the data files' type already.
mkdir -p "$WORK/system/mime/packages" "$WORK/system-config"
cp /usr/share/mime/packages/freedesktop.org.xml "$WORK/system/mime/packages/" || fail "shared-mime-info is not installed"
update-mime-database "$WORK/system/mime" >"$WORK/log" 2>&1 || fail "update-mime-database: $(cat "$WORK/log")"
export XDG_DATA_DIRS="$WORK/system" XDG_CONFIG_DIRS="$WORK/system-config"
mkdir -p "$HOME"
folder=$XDG_DATA_HOME/vantoril
apps=$XDG_DATA_HOME/applications
menu_entry=$apps/vantoril.desktop
data_entry=$apps/vantoril-weatherdata.desktop
data_type=application/x-vantoril-weatherdata

run() {
  "$@" >"$WORK/log" 2>&1 || fail "$* failed: $(cat "$WORK/log")"
}
# The Exec line of a desktop entry, one argument a line, as a launcher reads
# it (the freedesktop.org desktop entry rules, "The Exec key"): the escapes of a string
# value, then the quoting (a reserved character only inside double quotes,
# where \ escapes " ` $ \), then the field codes (%% is %, %f %F %u %U drop
# out when there is nothing to open). Anything else fails.
exec_arguments() {
  python3 - "$1" <<'PY' || fail "the Exec line of $1 is not as the desktop entry rules say"
import re, sys
line = next(l for l in open(sys.argv[1], encoding="utf-8") if l.startswith("Exec="))[5:].rstrip("\n")
value = re.sub(r"\\(.)", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}[m.group(1)], line)
reserved = " \t\n\"'\\><~|&;$*?#()`"
args, current, i = [], None, 0
while i < len(value):
    c = value[i]
    if c == " ":
        if current is not None:
            args.append(current)
        current = None
    elif c == '"':
        current, i = current or "", i + 1
        while value[i] != '"':
            if value[i] == "\\":
                i += 1
                assert value[i] in '"`$\\', value
            current += value[i]
            i += 1
    else:
        assert c not in reserved, "unquoted %r in %r" % (c, value)
        current = (current or "") + c
    i += 1
if current is not None:
    args.append(current)
out = []
for arg in args:
    if arg in ("%f", "%F", "%u", "%U"):
        continue
    out.append(re.sub(r"%(.)", lambda m: {"%": "%"}[m.group(1)], arg))
print("\n".join(out))
PY
}
expect_type() {
  local type
  type=$(xdg-mime query filetype "$1")
  [ "$type" = "$2" ] || fail "$(basename "$1") has the type '$type', not $2"
}

# Installed while LibreOffice is missing: no entry for the data files.
VANTORIL_SOFFICE='' run "$REPO/scripts/install.sh" "$PROGRAM"
grep -q 'LibreOffice is not installed' "$WORK/log" || fail "the install does not say that LibreOffice is missing: $(cat "$WORK/log")"
[ ! -e "$data_entry" ] || fail "the data-file entry was made without LibreOffice"
[ -d "$folder/WebSite" ] && [ -d "$folder/WeatherData" ] || fail "the install made no WebSite and WeatherData in $folder"
[ "$(readlink -f "$HOME/.local/bin/vantoril")" = "$folder/vantoril" ] || fail "the link does not lead to $folder/vantoril"
cmp -s "$PROGRAM" "$folder/vantoril" || fail "the installed program is not $PROGRAM"
cmp -s "$REPO/resources/vantoril.png" "$XDG_DATA_HOME/icons/hicolor/64x64/apps/vantoril.png" || fail "the icon is not installed"
[ "$(exec_arguments "$menu_entry")" = "$folder/vantoril" ] || fail "the menu entry starts '$(exec_arguments "$menu_entry")'"

# Real data files: the installed program, started through the link from
# another folder, records two places into its own WeatherData, twice.
for place in 杭州=hangzhou-2014 哈尔滨=harbin-2016; do
  printf 'file://%s\r\n' "$REPO/tests/data/${place#*=}.html" | iconv -f UTF-8 -t GBK >"$folder/WebSite/${place%=*}.txt"
done
(cd "$WORK" && run "$HOME/.local/bin/vantoril" --record && run "$HOME/.local/bin/vantoril" --record)
data_file=$folder/WeatherData/哈尔滨-WeatherData.xls
[ -s "$data_file" ] || fail "the run through the link wrote no $data_file: $(cat "$WORK/log")"
cp -a "$folder/WebSite" "$folder/WeatherData" "$WORK/"
kept_as_recorded() {
  diff -r "$WORK/WebSite" "$folder/WebSite" && diff -r "$WORK/WeatherData" "$folder/WeatherData"
}

# Installed with LibreOffice (where it is missing, a stand-in), then once
# more: the second install changes nothing.
libreoffice=$(command -v soffice || true)
soffice=$libreoffice
if [ -z "$soffice" ]; then
  soffice=$WORK/bin/soffice
  mkdir -p "$(dirname "$soffice")"
  printf '#!/bin/sh\nexit 1\n' >"$soffice"
  chmod +x "$soffice"
fi
export VANTORIL_SOFFICE=$soffice
snapshot() {
  (cd "$HOME" && find . -printf '%y %p -> %l\n' | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum)
}
run "$REPO/scripts/install.sh" "$PROGRAM"
snapshot >"$WORK/first"
run "$REPO/scripts/install.sh" "$PROGRAM"
snapshot >"$WORK/second"
diff "$WORK/first" "$WORK/second" >"$WORK/diff" || fail "installing again changed the home folder: $(cat "$WORK/diff")"
kept_as_recorded || fail "installing again changed the places or the data"

run desktop-file-validate "$menu_entry" "$data_entry"
mapfile -t command < <(exec_arguments "$data_entry")
[ "${command[0]}" = "$soffice" ] || fail "the data-file entry starts '${command[*]}'"
printf 'x\r\n' >"$WORK/other.xls"
expect_type "$data_file" "$data_type"
expect_type "$WORK/other.xls" application/vnd.ms-excel
default=$(xdg-mime query default "$data_type")
[ "$default" = vantoril-weatherdata.desktop ] || fail "the default program of the data files is '$default'"

if [ -z "$libreoffice" ]; then
  echo "SKIP: LibreOffice (soffice) is not installed; the data file was not read through the entry's command line"
else
  # The entry's command line, run headless, writes the sheet as UTF-8 text
  # with every text cell quoted: Chinese and the hours must come out as text,
  # exactly, and the values as numbers.
  filter=$(printf '%s\n' "${command[@]}" | grep '^--infilter=') || fail "the data-file entry has no --infilter"
  run "${command[0]}" -env:UserInstallation="file://$WORK/libreoffice" --headless "$filter" \
    --convert-to 'csv:Text - txt - csv (StarCalc):9,34,76,1,,0,true' --outdir "$WORK/sheet" "$data_file"
  python3 - "$data_file" "$WORK/sheet/哈尔滨-WeatherData.csv" <<'PY' || fail "the sheet differs from the data file"
import sys
# The empty line that ends the last record is no row of the sheet.
source = open(sys.argv[1], "rb").read().decode("gbk").rstrip("\r\n").split("\r\n")
sheet = open(sys.argv[2], encoding="utf-8").read().rstrip("\n").split("\n")
assert len(sheet) == len(source), (len(sheet), len(source))
def number(text):
    try:
        return float(text)
    except ValueError:
        return None
for row, (line, out) in enumerate(zip(source, sheet), 1):
    cells = line.split("\t")
    got = out.split("\t")
    got += [""] * (len(cells) - len(got))
    for column, (want, cell) in enumerate(zip(cells, got), 1):
        if column > 1 and number(want) is not None:
            ok = number(cell) == number(want)
        else:
            ok = cell == ('"%s"' % want if want else "")
        assert ok, "row %d column %d: %r became %r" % (row, column, want, cell)
    assert all(c == "" for c in got[len(cells):]), "row %d: %r" % (row, out)
PY
fi

# The uninstall turns recording on a schedule off first, keeps the places
# and the data, and says where they are.
run "$folder/vantoril" --schedule 8
[ -f "$XDG_CONFIG_HOME/systemd/user/vantoril-record.timer" ] || fail "--schedule 8 made no timer"
run "$REPO/scripts/uninstall.sh"
[ ! -e "$XDG_CONFIG_HOME/systemd/user/vantoril-record.timer" ] || fail "the uninstall left the timer on"
grep -qx -- "--user disable --now vantoril-record.timer" "$WORK/systemctl.log" ||
  fail "the uninstall did not stop the timer: $(cat "$WORK/systemctl.log")"
grep -qF "$folder/WeatherData" "$WORK/log" && grep -qF "$folder/WebSite" "$WORK/log" ||
  fail "the uninstall does not say where the data is: $(cat "$WORK/log")"
for f in "$folder/vantoril" "$HOME/.local/bin/vantoril" "$menu_entry" "$data_entry" \
  "$XDG_DATA_HOME/icons/hicolor/64x64/apps/vantoril.png" "$XDG_DATA_HOME/mime/packages/vantoril-weatherdata.xml"; do
  [ ! -e "$f" ] && [ ! -L "$f" ] || fail "the uninstall left $f"
done
kept_as_recorded || fail "the uninstall changed the places or the data"
expect_type "$data_file" application/vnd.ms-excel
! grep -rqs "$data_type" "$XDG_CONFIG_HOME" || fail "the uninstall left the data files' default program"
# A program folder whose path holds "%", a blank, "$", quotes, a backquote
# and a backslash (each with its own rule in an Exec line), where the user made
# WebSite a link (first to nothing, then to a folder of places) and
# WeatherData is missing: the install keeps the link as it is, and the menu
# entry's command line starts the installed program, which records through
# the link.
export HOME="$WORK/home 2" XDG_DATA_HOME="$WORK/home 2/数据 100% 50%d \$HOME \"q\" it's \`id\` a\\b"
folder=$XDG_DATA_HOME/vantoril
menu_entry=$XDG_DATA_HOME/applications/vantoril.desktop
mkdir -p "$folder" "$WORK/places"
ln -s "$WORK/no such places" "$folder/WebSite"
VANTORIL_SOFFICE='' run "$REPO/scripts/install.sh" "$PROGRAM"
[ "$(readlink "$folder/WebSite")" = "$WORK/no such places" ] && [ ! -e "$WORK/no such places" ] ||
  fail "the install changed the dangling link WebSite"
printf 'file://%s\r\n' "$REPO/tests/data/harbin-2016.html" >"$WORK/places/harbin.txt"
ln -sfn "$WORK/places" "$folder/WebSite"
VANTORIL_SOFFICE='' run "$REPO/scripts/install.sh" "$PROGRAM"
[ "$(readlink "$folder/WebSite")" = "$WORK/places" ] && [ "$(ls "$WORK/places")" = harbin.txt ] ||
  fail "the install changed the link WebSite or the folder it leads to"
run desktop-file-validate "$menu_entry"
mapfile -t command < <(exec_arguments "$menu_entry")
[ "${command[*]}" = "$folder/vantoril" ] || fail "the menu entry starts '${command[*]}', not $folder/vantoril"
(cd "$WORK" && run "${command[@]}" --record)
[ -s "$folder/WeatherData/harbin-WeatherData.xls" ] || fail "the program the menu entry starts recorded nothing"
# A ~/.local/bin/vantoril the user has since pointed elsewhere is not ours.
ln -sfn /bin/true "$HOME/.local/bin/vantoril"
run "$REPO/scripts/uninstall.sh"
[ "$(readlink "$folder/WebSite")" = "$WORK/places" ] || fail "the uninstall changed the link WebSite"
[ "$(readlink "$HOME/.local/bin/vantoril")" = /bin/true ] || fail "the uninstall removed a link that is not its own"

# scripts/demo-catalogue.sh: three places reading the sample pages where the
# program folder has no WebSite; a WebSite there (the link above, or one
# leading nowhere) is left as it is.
run "$REPO/scripts/demo-catalogue.sh" "$WORK/demo"
cp "$PROGRAM" "$WORK/demo/vantoril"
(cd "$WORK" && run "$WORK/demo/vantoril" --record)
[ "$(ls "$WORK/demo/WeatherData" | grep -c -- '-WeatherData\.xls$')" -eq 3 ] || fail "the demo catalogue recorded: $(ls "$WORK/demo/WeatherData")"
run "$REPO/scripts/demo-catalogue.sh" "$folder"
ln -sfn "$WORK/no such places" "$WORK/demo/WebSite"
run "$REPO/scripts/demo-catalogue.sh" "$WORK/demo"
[ "$(ls "$WORK/places")" = harbin.txt ] && [ ! -e "$WORK/no such places" ] || fail "the demo catalogue changed a WebSite"

# A relative XDG_DATA_HOME counts as unset: ~/.local/share.
export HOME="$WORK/home 3" XDG_DATA_HOME=data
(cd "$WORK" && VANTORIL_SOFFICE='' run "$REPO/scripts/install.sh" "$PROGRAM")
[ -x "$HOME/.local/share/vantoril/vantoril" ] && [ ! -e "$WORK/data" ] || fail "a relative XDG_DATA_HOME was used"
(cd "$WORK" && run "$REPO/scripts/uninstall.sh")
[ ! -e "$HOME/.local/share/vantoril/vantoril" ] || fail "the uninstall with a relative XDG_DATA_HOME left the program"
echo "PASS (install_test)"
