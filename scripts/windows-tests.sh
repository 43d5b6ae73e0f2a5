#!/usr/bin/env bash
# The Windows build: the shipped 32-bit toverak.exe, and a 64-bit build of the tests (and of
# toverak.exe) that runs under Wine in a fresh prefix of its own. A test program counts as run
# only when it wrote its report with at least one test, none failed and none skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in windows-i686 windows-x86_64; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done

# The shipped programs: 32-bit, toverak.exe without a console, toverak-check.exe with one.
for program in toverak:2 toverak-check:3; do
  headers=$(i686-w64-mingw32-objdump -p "build/windows-i686/${program%:*}.exe")
  grep -q '^Magic.*(PE32)' <<<"$headers" && grep -q "^Subsystem[[:space:]]*0000000${program#*:}[[:space:]]" <<<"$headers" ||
    { echo "build/windows-i686/${program%:*}.exe is not the 32-bit program it should be" >&2; exit 1; }
done

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
work=$(mktemp -d /tmp/toverak-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The live database of the ADO tests: a SQLite file behind a DSN of the host's ODBC, which
# Wine's odbc32 reaches.
cat >"$work/odbc.ini" <<INI
[ToverakLive]
Driver = /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so
Database = $work/live.sqlite
INI
export ODBCINI=$work/odbc.ini TOVERAK_TEST_DSN=ToverakLive

# A fresh prefix, and only once it has settled a persistent server, so that the services that
# the tests register outlive the process that started them.
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
"$wineserver" -p </dev/null >/dev/null 2>&1

run_under_wine() {
  local program=$1
  local report=$work/$(basename "$program" .exe).xml
  echo "== $program under Wine"
  timeout 900 "$wine" "$program" --gtest_output="xml:Z:${report//\//\\}"
  if [[ ! -s $report ]] || ! grep -q '<testsuites tests="[1-9]' "$report" ||
     ! grep -q '<testsuites [^>]*failures="0"' "$report" || grep -q '<skipped' "$report"; then
    echo "$program did not run all of its tests under Wine" >&2
    exit 1
  fi
}

run_under_wine build/windows-x86_64/toverak_unit_tests.exe
run_under_wine build/windows-x86_64/toverak_windows_tests.exe
echo "Windows tests passed under Wine"
