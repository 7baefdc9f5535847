#!/usr/bin/env bash
# A second start while the first panel is still closing (its last thread held
# in a ping that ends only when the test releases it): the second shows the
# already-started message and ends with code 0, the first finishes its close
# and ends with code 0, and a start after that runs normally.
set -euo pipefail
source "$PAINEL_SOURCE_DIR/tests/e2e/lib.sh"
e2e_init
e2e_database --scales 2
# 127.0.0.2 answers only once the test releases it (at most 2 min); the
# others at once. Held by the test, not by a fixed time, so that a busy
# machine cannot let the ping end before the close is under way.
held=$E2E_TMP/ping.held
release=$E2E_TMP/ping.release
e2e_fake_ping "for a; do addr=\$a; done
if [ \"\$addr\" = 127.0.0.2 ] && [ ! -e '$release' ]; then
    : >'$held'
    i=0
    while [ ! -e '$release' ] && [ \$i -lt 1200 ]; do sleep 0.1; i=\$((i + 1)); done
fi
echo \"64 bytes from \$addr: icmp_seq=1 ttl=64 time=0.3 ms\""
e2e_on_exit "touch '$release'"

e2e_start
first=$E2E_LAST_PID
main=$(e2e_wait_window "$E2E_TITLE" 30 "$first") || e2e_fail "the first panel did not open"
for _ in $(seq 300); do
    [ -e "$held" ] && break
    sleep 0.1
done
[ -e "$held" ] || e2e_fail "the slow scale was not probed within 30 s"
e2e_click_sair "$main"
e2e_wait_window "Aguarde" 30 "$first" >/dev/null || e2e_fail "no wait dialog while closing"

e2e_start
second=$E2E_LAST_PID
box=$(e2e_wait_window "PainelPesagram" 20 "$second") || e2e_fail "the second start showed no box"
e2e_running "$first" || e2e_fail "the first panel ended before the second start's box"
e2e_press_return "$box"
e2e_wait_exit "$second" 20
[ "$E2E_RC" = 0 ] || e2e_fail "exit code of the second start: $E2E_RC"

touch "$release"
e2e_wait_exit "$first" 30
[ "$E2E_RC" = 0 ] || e2e_fail "exit code of the closing panel: $E2E_RC"

e2e_start
third=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$third") || e2e_fail "a start after the close did not open"
e2e_window_exists "PainelPesagram" "$third" && e2e_fail "a start after the close showed the box"
e2e_click_sair "$win"
e2e_wait_exit "$third" 60
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
echo "PASS"
