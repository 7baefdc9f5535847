#!/usr/bin/env bash
# No database at the fixed path: the program shows the box titled "Erro"
# with the lead-in and the file's name, ends with code 0 once it is closed,
# and its main window never appears, not even for a moment.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
db=$(e2e_database_path)
mkdir -p "$(dirname "$db")"
[ ! -e "$db" ] || e2e_fail "a database is in place"

e2e_start
pid=$E2E_LAST_PID
# Watches for a main window of the process on screen until it ends.
seen=$E2E_TMP/main-window-seen
(
    while e2e_running "$pid"; do
        if xdotool search --all --onlyvisible --pid "$pid" --name "^$E2E_TITLE\$" >/dev/null 2>&1; then
            : >"$seen"
        fi
        sleep 0.05
    done
) &
watcher=$!
E2E_PIDS+=("$watcher")

box=$(e2e_wait_window "Erro" 30 "$pid") || e2e_fail "no box titled Erro appeared"
shot=$E2E_TMP/missing-database.png
e2e_shot "$shot"
e2e_running "$pid" || e2e_fail "the program ended before its box was closed"
e2e_press_return "$box"
e2e_wait_exit "$pid" 20
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after the database error: $E2E_RC"
wait "$watcher" || true
[ ! -e "$seen" ] || e2e_fail "a main window appeared"
echo "PASS"
