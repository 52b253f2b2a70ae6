#!/bin/bash
# The record taken out: --export and --coverage without a window, the table
# read back by Python's csv module and by LibreOffice (soffice --headless)
# with the same cells, and "导出此地数据…" through Qt's save dialog.
. "$(dirname "$0")/lib.sh"

command -v soffice >/dev/null || fail "soffice is not installed (scripts/setup.sh --tests installs it)"

make_program_folder "杭州=http:" "临安,余杭=http:" "上海=http:"
mkdir "$PROGRAM_FOLDER/WeatherData"
# 杭州: two records an hour apart, the later with a missing reading and
# values a spreadsheet would take for formulas, and one still pending a
# day later; 临安,余杭: one record. 上海 has no data file.
python3 - "$PROGRAM_FOLDER/WeatherData" <<'PY' || fail "cannot write the data files"
import sys
def record(time, base, odd=None):
    lines = ["数据记录时间:" + time, "整点\t气温\t降水\t湿度"]
    rows = [f"{(int(time[8:]) + r) % 24:02d}\t{base + r}\t0.5\t{50 + r}" for r in range(25)]
    if odd: rows[24] = odd
    return "\r\n".join(lines + rows) + "\r\n\r\n"
def write(name, text):
    open(f"{sys.argv[1]}/{name}", "wb").write(text.encode("gbk"))
write("杭州-WeatherData.xls", "天气数据文件\r\n" + record("2026123122", 0)
      + record("2026123123", 100, "23\t-3.5\t=1+1\t@SUM(A1)") )
write("杭州-WeatherData.pending", record("2027010200", 200, "00\t\t+86\t-"))
write("临安,余杭-WeatherData.xls", "天气数据文件\r\n" + record("2026113012", 7))
PY
run() { (cd "$PROGRAM_FOLDER" && ./vantoril "$@"); }

# Endings the table cannot take, and --with-gaps alone.
run --export "$WORK/t.xlsx" 2>"$WORK/err" >/dev/null
[ $? -eq 2 ] || fail "--export to .xlsx did not exit with 2: $(cat "$WORK/err")"
grep -q '\.csv' "$WORK/err" || fail "the refusal names no ending that works: $(cat "$WORK/err")"
[ ! -e "$WORK/t.xlsx" ] || fail "a refused export wrote a file"
run --with-gaps >/dev/null 2>&1
[ $? -eq 2 ] || fail "--with-gaps without --export was not refused"

out=$(run --export "$WORK/t.csv" 2>"$WORK/err")
[ $? -eq 1 ] || fail "an export leaving out 上海 did not exit with 1"
[ "$out" = "已写入 $WORK/t.csv：76 行，2 个地名" ] || fail "--export printed: $out"
grep -q "^上海：没有数据文件 " "$WORK/err" || fail "上海 was not reported: $(cat "$WORK/err")"
out=$(run --coverage 杭州 临安,余杭) || fail "--coverage failed: $out"
[ "$out" = "临安,余杭	2026-11-29 12时 至 2026-11-30 12时：记录 25 小时，缺 0 小时（0.0%）；没有缺口
杭州	2026-12-30 22时 至 2027-01-02 00时：记录 51 小时，缺 0 小时（0.0%）；没有缺口" ] ||
  fail "--coverage printed: $out"

# Python's reading: the byte-order mark, CR LF, the cells as worked out.
python3 - "$WORK/t.csv" "$WORK/python.json" <<'PY' || fail "Python's csv module reads another table"
import csv, json, sys
data = open(sys.argv[1], "rb").read()
assert data.startswith(b"\xef\xbb\xbf"), data[:8]
assert data.count(b"\r\n") == 77 and data.count(b"\n") == 77, "not CR LF throughout"
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig", newline="")))
assert rows[0] == ["地名", "时间（北京时间）", "气温", "降水", "湿度", "质量"], rows[0]
assert rows[1] == ["临安,余杭", "2026-11-29 12:00", "7", "0.5", "50", ""], rows[1]
assert len(rows) == 77 and all(r[0] == "杭州" for r in rows[26:]), len(rows)
hz = {r[1]: r[2:5] for r in rows[26:]}
marks = {r[1]: r[5] for r in rows[26:]}
assert marks["2026-12-31 22:00"] == "可疑：气温超出 -60…60 °C" and marks["2026-12-30 22:00"] == ""
assert hz["2026-12-30 22:00"] == ["0", "0.5", "50"]
assert hz["2026-12-31 22:00"] == ["123", "0.5", "73"], "the later record's value"
assert hz["2026-12-31 23:00"] == ["-3.5", "'=1+1", "'@SUM(A1)"]
assert hz["2027-01-01 22:00"] == ["222", "0.5", "72"], "the pending record"
assert hz["2027-01-02 00:00"] == ["", "'+86", "'-"]
json.dump(rows, open(sys.argv[2], "w"))
PY

# LibreOffice's: dates and numbers are left as text, UTF-8 both ways; what
# it reads is written out again as CSV and compared cell by cell.
lo() {
  timeout 120 soffice -env:UserInstallation="file://$WORK/lo-profile" --headless \
    --infilter="Text - txt - csv (StarCalc):$1,34,76,1,,1033,false,false" \
    --convert-to "csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,false,false" --outdir "$WORK/lo" "$2" \
    >"$WORK/lo.log" 2>&1 || fail "soffice failed: $(cat "$WORK/lo.log")"
}
lo 44 "$WORK/t.csv"
python3 - "$WORK/lo/t.csv" "$WORK/python.json" <<'PY' || fail "LibreOffice reads other cells than Python"
import csv, json, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig", newline="")))
expected = json.load(open(sys.argv[2]))
# The cells with a leading apostrophe are read as the text they hold: no
# formula was worked out.
for k, (a, b) in enumerate(zip(rows, expected)):
    assert a == b, (k, a, b)
assert len(rows) == len(expected), (len(rows), len(expected))
PY

# Opened as a spreadsheet opens it (numbers and dates detected): the hours
# are dates and times, not text.
timeout 120 soffice -env:UserInstallation="file://$WORK/lo-profile" --headless \
  --infilter="Text - txt - csv (StarCalc):44,34,76,1,,1033" --convert-to fods --outdir "$WORK/lo" "$WORK/t.csv" \
  >"$WORK/lo.log" 2>&1 || fail "soffice failed: $(cat "$WORK/lo.log")"
python3 - "$WORK/lo/t.fods" <<'PY' || fail "LibreOffice does not read the hours as dates and times"
import sys, xml.etree.ElementTree as ET
ns = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
      "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"}
rows = ET.parse(sys.argv[1]).getroot().iter("{%s}table-row" % ns["table"])
next(rows)
cell = next(rows).findall("table:table-cell", ns)[1]
value = lambda c, k: c.get("{%s}%s" % (ns["office"], k))
assert (value(cell, "value-type"), value(cell, "date-value")) == ("date", "2026-11-29T12:00:00"), cell.attrib
PY

# The same table as .tsv, read by both.
out=$(run --export "$WORK/t.tsv" 杭州 临安,余杭 2>&1) || fail "--export to .tsv failed: $out"
python3 - "$WORK/t.tsv" "$WORK/python.json" <<'PY' || fail "the .tsv holds another table"
import csv, json, sys
rows = list(csv.reader(open(sys.argv[1], encoding="utf-8-sig", newline=""), delimiter="\t"))
assert rows == json.load(open(sys.argv[2])), rows[:3]
PY
mv "$WORK/lo/t.csv" "$WORK/lo/from-csv.csv"
lo 9 "$WORK/t.tsv"
cmp -s "$WORK/lo/t.csv" "$WORK/lo/from-csv.csv" || fail "LibreOffice reads the .tsv otherwise than the .csv"

# The window: 杭州 alone in the list, its menu, "导出此地数据…", a name typed
# into the save dialog, then the message saying where the rows went.
rm "$PROGRAM_FOLDER/WebSite/上海.txt" "$PROGRAM_FOLDER/WebSite/临安,余杭.txt"
run --export "$WORK/hangzhou.csv" 杭州 >/dev/null || fail "--export of 杭州 failed"
start_x
start_program
pointer 60 34 click 3
sleep 1
xdotool key Down Down Down Return
dialog=$(wait_box '^导出数据$' 15 "$WINDOW") || fail "the menu entry opened no save dialog: $(cat "$WORK/program.log")"
screenshot export-dialog "$dialog" >/dev/null
xdotool key ctrl+a
type_text "$WORK/window.csv"
xdotool key Return
box=$(wait_box '^Vantoril v 1\.0$' 30 "$WINDOW") || fail "no message after the export: $(cat "$WORK/program.log")"
screenshot export-done "$box" >/dev/null
xdotool key Return
wait_gone '^Vantoril v 1\.0$' 10 "$WINDOW" || fail "the message box did not close"
cmp -s "$WORK/window.csv" "$WORK/hangzhou.csv" || fail "the window wrote another table than --export"

echo "PASS: $TEST_NAME"
