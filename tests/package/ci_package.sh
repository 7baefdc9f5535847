#!/usr/bin/env bash
# The Debian package on this machine (CI only: it installs into /usr, as
# root): made with CPack, installed with apt, the installed panel started
# under Xvfb on the demo database, seen and closed with "Sair", the installed
# painel-diagnostico run on the same database, then the package removed, with
# nothing of it left behind.
# Usage: ci_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
package=painel-pesagram
[ "$(id -u)" -eq 0 ] || { echo "ci_package: needs root (it installs into /usr)"; exit 1; }
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    echo "ci_package: $package is already installed here; not touching it"
    exit 1
fi

rm -f "$build"/${package}_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=$(ls "$build"/${package}_*.deb)
echo "ci_package: $(basename "$deb")"
dpkg-deb -f "$deb" Depends
dpkg-deb -f "$deb" Depends | grep -q 'iputils-ping' || { echo "FAIL: no iputils-ping in Depends"; exit 1; }
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' ||
    { echo "FAIL: Depends lacks the shared libraries"; exit 1; }

export DEBIAN_FRONTEND=noninteractive
removed=""
remove() { [ -n "$removed" ] || apt-get remove --purge -y "$package" >/dev/null 2>&1 || true; }
trap remove EXIT
apt-get install -y --no-install-recommends "$deb" >"$build/apt-install.log" 2>&1 ||
    { cat "$build/apt-install.log"; exit 1; }
files=$(dpkg -L "$package")
[ -x /usr/bin/PainelPesagram ] && [ -x /usr/bin/painel-diagnostico ] ||
    { echo "FAIL: the programs are not in /usr/bin"; exit 1; }

# The installed programs on the demo database, through the end-to-end helpers.
export PAINEL_EXE=/usr/bin/PainelPesagram PAINEL_MDBWRITE=$build/tools/mdbwriter/mdbwrite
source "$source_dir/tests/e2e/lib.sh"
e2e_init # replaces the EXIT trap: the removal goes with its clean-up
e2e_on_exit remove
e2e_database --demo
set +e
diag_out=$(/usr/bin/painel-diagnostico)
diag_rc=$?
set -e
[ "$diag_rc" -eq 1 ] && grep -q '^Balanças no painel: 23$' <<<"$diag_out" ||
    e2e_fail "installed painel-diagnostico (exit $diag_rc): $diag_out"
e2e_start
app=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$app") || e2e_fail "the installed panel shows no window"
sleep 2
e2e_click_sair "$win"
e2e_wait_exit "$app" 30
[ "$E2E_RC" -eq 0 ] || e2e_fail "the installed panel ended with exit code $E2E_RC"
echo "ci_package: the installed panel opened its window and closed on \"Sair\""

removed=yes
apt-get remove --purge -y "$package" >"$build/apt-remove.log" 2>&1 ||
    { cat "$build/apt-remove.log"; exit 1; }
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed'; then
    e2e_fail "$package is still installed"
fi
left=()
while IFS= read -r f; do
    [ -e "$f" ] && [ ! -d "$f" ] && left+=("$f")
done <<<"$files"
((${#left[@]} == 0)) || e2e_fail "left after removal: ${left[*]}"
echo "ci_package: removed cleanly ($(wc -l <<<"$files") paths)"
