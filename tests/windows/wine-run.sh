#!/usr/bin/env bash
# Runs a Windows test program under Wine: in the Wine prefix of the build
# folder ($PAINEL_WINE_PREFIX, made on first use), on a private Xvfb display
# (the qwindows platform needs one), with the results written to a file
# (-o <file>,txt: a console program's output does not come through a pipe
# under Wine), which is printed. Passes when the program exits 0 and its
# results count no failure.
#   wine-run.sh <program.exe> [test arguments]
#   wine-run.sh --plain <program.exe>   a program that is no Qt Test suite:
#                                       passes when it exits 0
set -euo pipefail
plain=
if [ "${1:-}" = --plain ]; then
  plain=1
  shift
fi
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-lib.sh"
wine_prefix_ready
wine_display_start
trap wine_display_stop EXIT

work=$(mktemp -d "${TMPDIR:-/tmp}/painel-wine-test-XXXXXX")
trap 'wine_display_stop; rm -rf "$work"' EXIT
name=$(basename "$exe" .exe)
out=$work/$name.txt

# The ODBC suite: two Linux drivers under Access driver names, the fourth
# name listed before the third.
cat >"$work/odbcinst.ini" <<INI
[Microsoft Access-Treiber (*.mdb)]
Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so

[SQLite3]
Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so

[driver do microsoft access (*.mdb)]
Driver=/usr/lib/x86_64-linux-gnu/odbc/libmdbodbcW.so
INI
export ODBCSYSINI=$work ODBCINSTINI=odbcinst.ini
# Portuguese system messages (their accented letters must come out as UTF-8).
wine_locale="env LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8"

rc=0
if [ -n "$plain" ]; then
  (cd "$work" && timeout 280 $wine_locale wine "$exe" "$@") || rc=$?
  [ "$rc" = 0 ] || { echo "FAIL: $name exited with $rc"; exit 1; }
  echo "PASS: $name"
  exit 0
fi
(cd "$work" && timeout 280 $wine_locale wine "$exe" -o "$(winepath -w "$out" 2>/dev/null)",txt "$@") \
  >"$work/console.log" 2>&1 || rc=$?
if [ -f "$out" ]; then
  cat "$out"
else
  echo "no results written; console:"
  cat "$work/console.log"
fi
[ "$rc" = 0 ] || { echo "FAIL: $name exited with $rc"; exit 1; }
grep -Eq '^Totals: [0-9]+ passed, 0 failed' "$out" || { echo "FAIL: $name: no clean totals"; exit 1; }
