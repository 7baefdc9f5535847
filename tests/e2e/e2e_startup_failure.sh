#!/usr/bin/env bash
# A failure while starting (here: the single-instance lock cannot be made,
# because a directory stands where its file belongs) is reported in a box
# before any window is created, and the program ends with code 1.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_database --scales 0
mkdir "$XDG_RUNTIME_DIR/Zidirovoru"

e2e_start
pid=$E2E_LAST_PID
box=$(e2e_wait_window "PainelPesagram" 20 "$pid") || e2e_fail "no box for the failed start"
e2e_window_exists "$E2E_TITLE" "$pid" && e2e_fail "a main window was created"
e2e_running "$pid" || e2e_fail "the program ended before its box was closed"
e2e_press_return "$box"
e2e_wait_exit "$pid" 20
[ "$E2E_RC" = 1 ] || e2e_fail "exit code after a failed start: $E2E_RC"
echo "PASS"
