#!/usr/bin/env bash
# Scales that do not answer, each probe waiting 4 s for its reply: with their
# probes in flight, "Atualizar" rebuilds the roster at once (the new threads'
# probes start within a second of the click, the old pings are ended rather
# than waited for), and "Sair" ends the program within a second, leaving no
# ping (nor its shell) behind.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_database --scales 3
e2e_fake_ping_answering 4
printf '127.0.0.1\n127.0.0.2\n127.0.0.3\n' >"$E2E_PING_SILENT"

# Every process the program starts carries this line in its environment,
# wherever it ends up in the process tree.
mark="PAINEL_E2E_RUN=$$-$RANDOM"
left() {
    grep -lzxF -- "$mark" /proc/[0-9]*/environ 2>/dev/null | wc -l
}

PAINEL_E2E_RUN=${mark#*=} e2e_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$pid") || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")

# Every scale has begun a probe after the time $1 (seconds since the epoch).
in_flight() {
    local since=$1 a
    for a in 127.0.0.1 127.0.0.2 127.0.0.3; do
        [ "$(e2e_probes "$a" "$since")" -ge 1 ] || return 1
    done
}
# Waits until every scale has a probe in flight begun less than 2 s ago, with
# at least 2 s of its wait ahead. (The window may show after the first probes,
# as the threads start before it.)
ago() { awk -v t="$(e2e_now)" -v d="$1" 'BEGIN {printf "%.3f", t - d}'; }
for i in $(seq 600); do
    in_flight "$(ago 2)" && break
    sleep 0.05
done
in_flight "$(ago 2.5)" || e2e_fail "the scales' probes were never in flight together"
[ "$(left)" -ge 3 ] || e2e_fail "expected the probes' processes to be running, found $(left)"

clicked=$(e2e_now)
e2e_click $((x0 + w - 127)) $((y0 + h - 41))
for i in $(seq 60); do
    in_flight "$clicked" && break
    sleep 0.05
done
in_flight "$clicked" || e2e_fail "no new probes 3 s after Atualizar"
for a in 127.0.0.1 127.0.0.2 127.0.0.3; do
    first=$(awk -v a="$a" -v t="$clicked" '$2 == a && $1 > t {print $1; exit}' "$E2E_PING_LOG")
    took=$(e2e_elapsed "$first" "$clicked")
    e2e_log "new probe of $a ${took}s after Atualizar"
    awk -v d="$took" 'BEGIN {exit !(d <= 1.0)}' || e2e_fail "the new probe of $a began ${took}s after Atualizar"
done
e2e_running "$pid" || e2e_fail "the program ended after Atualizar"

# The new probes are in flight now.
sleep 0.3
clicked=$(e2e_now)
e2e_click_sair "$win"
for i in $(seq 300); do
    e2e_running "$pid" || break
    sleep 0.02
done
took=$(e2e_elapsed "$(e2e_now)" "$clicked")
e2e_log "ended ${took}s after Sair"
e2e_wait_exit "$pid" 10
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
awk -v d="$took" 'BEGIN {exit !(d <= 1.0)}' || e2e_fail "the program ended ${took}s after Sair"
[ "$(left)" = 0 ] || e2e_fail "$(left) processes of the program are left after its end"
echo "PASS"
