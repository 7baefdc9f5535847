#!/usr/bin/env bash
# A second start while the first panel, asked to close, has not ended yet:
# the second shows the already-started message and ends with code 0, the
# first finishes its close and ends with code 0, and a start after that runs
# normally.
#
# A close no longer waits for a slow ping (a stop request ends the probes in
# flight), so the first panel is held another way: it is stopped (SIGSTOP)
# before "Sair" is clicked, and continued once the second start has been
# turned away. Its close request and the second start's message then both
# wait for it, and are handled together when it runs again.
set -euo pipefail
source "$PAINEL_SOURCE_DIR/tests/e2e/lib.sh"
e2e_init
e2e_database --scales 2
# 127.0.0.2 answers only after 8 s; the others at once.
e2e_fake_ping_modes reply
e2e_ping_mode 127.0.0.2 "slow 8"

e2e_start
first=$E2E_LAST_PID
main=$(e2e_wait_window "$E2E_TITLE" 30 "$first") || e2e_fail "the first panel did not open"
sleep 1 # both threads in their first ping
kill -STOP "$first"
e2e_on_exit "kill -CONT $first"
e2e_click_sair "$main"

e2e_start
second=$E2E_LAST_PID
box=$(e2e_wait_window "PainelPesagram" 20 "$second") || e2e_fail "the second start showed no box"
e2e_running "$first" || e2e_fail "the first panel ended before the second start's box"
e2e_press_return "$box"
e2e_wait_exit "$second" 20
[ "$E2E_RC" = 0 ] || e2e_fail "exit code of the second start: $E2E_RC"

e2e_running "$first" || e2e_fail "the first panel ended while it was held"
kill -CONT "$first"
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
