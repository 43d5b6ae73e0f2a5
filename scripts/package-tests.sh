#!/usr/bin/env bash
# What operators install, built and read back: the version information and the manifest of the
# Windows programs in their ZIP; the Debian package checked by lintian and unpacked into a
# temporary folder (never installed on this machine), its programs run and its man pages
# rendered; and `cmake --install` against the package's files.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only what the packages hold (and make-mdb), not the tests: cpack installs what is built. The
# release build by default; the suite passes its own release build with warnings as errors.
preset=${1:-release}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target toverak toverak-check toverak_docs make-mdb
cmake --preset windows-i686 >/dev/null
cmake --build --preset windows-i686

version=$(sed -n 's/^project(toverak VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d /tmp/toverak-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "$*" >&2
  exit 1
}

# Windows: the ZIP holds the programs and the texts, the texts with CR LF lines.
(cd build/windows-i686 && cpack -G ZIP -B "$work/zip" >/dev/null)
zip=$work/zip/toverak-$version-win32.zip
listing=$(unzip -Z1 "$zip" | sort)
[[ $listing == $'LICENSE.txt\nREADME.txt\ntoverak-check.exe\ntoverak.exe' ]] ||
  fail "$zip holds: $listing"
unzip -q "$zip" -d "$work/win32"
for text in README.md:README.txt LICENSE:LICENSE.txt; do
  shipped=$work/win32/${text#*:}
  ! grep -qv $'\r$' "$shipped" && [[ $(tail -c 2 "$shipped" | od -An -c | tr -d ' ') == '\r\n' ]] ||
    fail "${text#*:} has a line that does not end with CR LF"
  tr -d '\r' <"$shipped" | cmp -s - "${text%:*}" || fail "${text#*:} is not ${text%:*}"
done
echo "$zip: $(tr '\n' ' ' <<<"$listing")(texts with CR LF lines)"

# The programs of the ZIP: the version information that Explorer shows (the fixed file version
# and the strings) and the manifest, as they are stored in the executables.
IFS=. read -r major minor patch <<<"$version"
value() { grep -A1 -x "$1" <<<"$info" | sed -n 2p; }
fixed=$(printf '%04x%04x %04x0000' "$major" "$minor" "$patch")
for program in "toverak:Restores the Narvel configuration from a dated backup" \
               "toverak-check:Checks a Narvel backup before a restore"; do
  name=${program%%:*}
  exe=$work/win32/$name.exe
  info=$(wrestool -x --raw --type=16 --name=1 "$exe" | strings -el)
  for field in "ProductName:Toverak" "FileDescription:${program#*:}" "FileVersion:$version" \
               "ProductVersion:$version" "OriginalFilename:$name.exe" "InternalName:$name" \
               "LegalCopyright:Copyright (c) 2026 the Toverak developers"; do
    [[ $(value "${field%%:*}") == "${field#*:}" ]] ||
      fail "$name.exe: ${field%%:*} is '$(value "${field%%:*}")', not '${field#*:}'"
  done
  wrestool -x --raw --type=16 --name=1 "$exe" | od -An -tx4 -v | tr -s ' \n' '  ' |
    grep -q "feef04bd 00010000 $fixed $fixed" || fail "$name.exe: the fixed version is not $version"
  manifest=$(wrestool -x --raw --type=24 --name=1 "$exe")
  cmp -s <(printf '%s\n' "$manifest") packaging/windows/toverak.manifest &&
    grep -q '<requestedExecutionLevel level="asInvoker"' <<<"$manifest" ||
    fail "$name.exe does not carry the manifest with asInvoker"
  echo "$name.exe: Toverak $version, '${program#*:}', manifest asInvoker"
done

# POSIX: the Debian package, its dependencies computed from the programs.
(cd "build/$preset" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$work/deb/toverak_${version}_$(dpkg --print-architecture).deb
echo "== lintian $(basename "$deb")"
lintian --fail-on error,warning --display-info "$deb" || fail "lintian finds errors or warnings in $deb"
dpkg-deb -f "$deb" Depends | grep -q 'libmdb.*libodbc\|libodbc.*libmdb' ||
  fail "the package's dependencies were not computed: $(dpkg-deb -f "$deb" Depends)"
[[ $(dpkg-deb -f "$deb" Recommends) == "libsqliteodbc, odbc-postgresql, tdsodbc, odbc-mariadb" ]] ||
  fail "the package recommends: $(dpkg-deb -f "$deb" Recommends)"

dpkg-deb -x "$deb" "$work/root"
[[ $(cd "$work/root" && ls) == usr ]] || fail "the package installs outside /usr"
check=$work/root/usr/bin/toverak-check
[[ $("$check" --version) == "toverak-check $version" ]] || fail "toverak-check --version: $("$check" --version)"
backup=$work/NarvelBackup_2026-12-08.mdb
"build/$preset/make-mdb" testing/fixtures/narvel_backup.json "$backup"
report=$("$check" "$backup") || fail "the packaged toverak-check fails on a good backup: $report"
grep -qx "ATR_Log: present, 3 rows" <<<"$report" &&
  grep -qx "A restore from $backup would get through the backup." <<<"$report" ||
  fail "the packaged toverak-check reports: $report"
for page in man8/toverak.8 man1/toverak-check.1; do
  rendered=$(man --warnings -l "$work/root/usr/share/man/$page.gz" 2>"$work/man-warnings")
  [[ ! -s $work/man-warnings ]] || fail "$page: $(cat "$work/man-warnings")"
  grep -q "^NAME" <<<"$rendered" && grep -q "Toverak $version" <<<"$rendered" ||
    fail "$page does not render: $rendered"
done
echo "$(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"

# The install rules put exactly the package's files in place, and only these.
files() { (cd "$1" && find . ! -type d | sort); }
cmake --install "build/$preset" --prefix "$work/install" >/dev/null
diff <(files "$work/install") <(files "$work/root/usr") || fail "cmake --install differs from $deb"
diff <(files "$work/install") - <<'FILES' || fail "cmake --install installs other files"
./bin/toverak-check
./sbin/toverak
./share/doc/toverak/README.md
./share/doc/toverak/changelog.gz
./share/doc/toverak/copyright
./share/doc/toverak/examples/narvel-restore.service
./share/doc/toverak/examples/narvel-restore.timer
./share/man/man1/toverak-check.1.gz
./share/man/man8/toverak.8.gz
FILES
# The README's scheduling example is the one installed.
diff <(sed -n '/^## Scheduling/,/^## /p' README.md | sed -n '/^```ini$/,/^```$/p' | sed '1d;$d') \
  <(cat packaging/examples/narvel-restore.service; echo; cat packaging/examples/narvel-restore.timer) ||
  fail "the README's systemd example differs from packaging/examples"
echo "cmake --install installs the package's files; the packages are sound"
