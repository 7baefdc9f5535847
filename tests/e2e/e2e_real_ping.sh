#!/usr/bin/env bash
# The real ping against a host of a network namespace made here (a veth pair
# on a /30 of its own): the scale answers, green; the host stops answering
# echo requests, red at the fourth unanswered probe (each waits up to 4 s),
# the first three retried quickly; it answers again, green. Needs root and
# `ip netns`; skips otherwise. Everything made here goes when the test ends.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

if [ "$(id -u)" != 0 ]; then
    echo "SKIP: network namespaces need root"
    exit 77
fi
for t in ip ping sysctl; do
    command -v "$t" >/dev/null 2>&1 || { echo "SKIP: $t is not installed"; exit 77; }
done
e2e_init
e2e_real_ping

# Names and a /30 of this run's own.
ns=painel-e2e-$$
host=pe2e$$h
peer=pe2e$$p
net=10.231.$(($$ % 250)).
e2e_on_exit "ip netns del $ns"
ip netns add "$ns" 2>/dev/null || { echo "SKIP: cannot make a network namespace (ip netns add)"; exit 77; }
e2e_on_exit "ip link del $host"
ip link add "$host" type veth peer name "$peer" 2>/dev/null ||
    { echo "SKIP: cannot make a veth pair"; exit 77; }
ip link set "$peer" netns "$ns"
ip addr add "${net}1/30" dev "$host"
ip link set "$host" up
ip -n "$ns" addr add "${net}2/30" dev "$peer"
ip -n "$ns" link set "$peer" up
ip -n "$ns" link set lo up
scale=${net}2
ping -n -c 1 -W 4 "$scale" >/dev/null || e2e_fail "the namespace's host $scale does not answer"

# Echo requests that reached the namespace's host, answered or not.
echo_requests() {
    ip netns exec "$ns" awk '$1 == "IcmpMsg:" && !seen {for (i = 2; i <= NF; i++) h[i] = $i; seen = 1; next}
        $1 == "IcmpMsg:" {for (i = 2; i <= NF; i++) if (h[i] == "InType8") n = $i}
        END {print n + 0}' /proc/net/snmp
}

e2e_scales_database <<<"1|Balança 1|$scale|1|true|true"
e2e_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$pid") || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")
shot=$E2E_TMP/real-ping.png
e2e_wait_flags "$shot" "$x0" "$y0" 60 GREEN_CHK
e2e_log "green ${E2E_WAITED}s after the window appeared"
cp "$shot" "$E2E_TMP/real-ping-green.png"

ip netns exec "$ns" sysctl -q -w net.ipv4.icmp_echo_ignore_all=1
silenced=$(e2e_now)
before=$(echo_requests)
# Notes the arrival time of each echo request from now on.
arrivals=$E2E_TMP/arrivals.log
(
    last=$before
    while :; do
        now=$(echo_requests)
        [ "$now" = "$last" ] || echo "$(e2e_now) $now" >>"$arrivals"
        last=$now
        sleep 0.1
    done
) &
E2E_PIDS+=("$!")
e2e_wait_flags "$shot" "$x0" "$y0" 45 RED_CHK
cp "$shot" "$E2E_TMP/real-ping-red.png"
n=$(($(echo_requests) - before))
e2e_log "red ${E2E_WAITED}s after the host stopped answering, after $n unanswered probes;" \
    "probes arrived at +$(awk -v t="$silenced" '{printf " %.1f", $1 - t}' "$arrivals" 2>/dev/null)s"
[ "$n" = 4 ] || e2e_fail "red after $n unanswered probes, expected 4"
# The first unanswered probe comes at most ~11 s after silencing; the four
# take 4 s each and the retries follow about a second apart.
awk -v a="$E2E_WAITED" 'BEGIN {exit !(a >= 16)}' || e2e_fail "red too early: ${E2E_WAITED}s"

ip netns exec "$ns" sysctl -q -w net.ipv4.icmp_echo_ignore_all=0
e2e_wait_flags "$shot" "$x0" "$y0" 20 GREEN_CHK
e2e_log "green again ${E2E_WAITED}s after the host answered again"

e2e_click_sair "$win"
e2e_wait_exit "$pid" 60
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
echo "PASS"
