#!/usr/bin/env bash
# Single instance with real processes: a second start shows the message, ends
# with code 0 after OK and never opens a main window; after the first panel
# was killed, a new start runs normally.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_database --scales 0

e2e_start
first=$E2E_LAST_PID
main=$(e2e_wait_window "$E2E_TITLE" 30 "$first") || e2e_fail "the first panel did not open"

e2e_start
second=$E2E_LAST_PID
box=$(e2e_wait_window "PainelPesagram" 20 "$second") || e2e_fail "the second start showed no box"
xdotool search --all --onlyvisible --pid "$second" --name "^$E2E_TITLE\$" >/dev/null 2>&1 &&
    e2e_fail "the second start opened a main window"
shot=$E2E_TMP/box.png
e2e_shot "$shot"
# The box waits for the user: the second process is still there.
sleep 1
e2e_running "$second" || e2e_fail "the second start ended before its box was closed"
# The pointer away from the panel, so that nothing but the raise request
# gives the panel the focus once the box is gone.
xdotool mousemove --sync 1590 990
e2e_press_return "$box"
e2e_wait_exit "$second" 20
[ "$E2E_RC" = 0 ] || e2e_fail "exit code of the second start: $E2E_RC"
# After OK, the running panel (on screen) comes to the foreground.
for _ in $(seq 50); do
    [ "$(e2e_focus)" = "$main" ] && break
    sleep 0.1
done
[ "$(e2e_focus)" = "$main" ] || e2e_fail "the running panel was not brought to the front"
e2e_running "$first" || e2e_fail "the first panel ended"
e2e_window_exists "$E2E_TITLE" "$first" || e2e_fail "the first panel's window is gone"

# The kernel frees the lock of a killed panel: a new start runs normally.
kill -9 "$first"
e2e_wait_exit "$first" 10
e2e_start
third=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$third") || e2e_fail "a start after kill -9 did not open"
e2e_window_exists "PainelPesagram" "$third" && e2e_fail "a start after kill -9 showed the box"
e2e_click_sair "$win"
e2e_wait_exit "$third" 60
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
echo "PASS"
