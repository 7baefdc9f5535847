#!/bin/bash
# Measures the panel at 30, 300 and 1000 scales and prints one table, also
# written to the top of bench/results.md with the machine and the date (the
# sections below that table are kept).
#
#   bash bench/run_bench.sh [--build DIR] [--quick] [--sizes "30 300 1000"]
#                           [--seconds S] [--refreshes R] [--no-write]
#
# For every size it writes an Access file of N loopback scales with the
# project's writer into a temporary Wine prefix and puts a fake `ping` first
# on PATH (no real ping is ever run): it answers at once, except for the
# addresses chosen as not answering, for which it waits 4 s (the default
# wait of one ping) and prints no reply. Then:
#   - the real program (PainelPesagram) under Xvfb, seen from outside: CPU from
#     /proc/<pid>/stat over S seconds with all answering, without and with the
#     ping children; resident memory after start-up and after R clicks on
#     "Atualizar"; the time from a click on "Sair" to the end of the process,
#     with 0 and with 50 scales not answering; the processes the program
#     started that are left one second after its exit, and one second after
#     a kill -9, with 50 scales not answering;
#   - bench_panel, which drives the same main window in a process of its own:
#     roster build, lateness of a 10 ms timer on the GUI thread over S
#     seconds, the activity check's queries, Atualiza, memory over R
#     refreshes, the layout after a filter click that hides half the
#     tiles, and 20 refreshes (and the close) while the probes of 50 scales
#     not answering are in flight.
# --quick: 30 scales, 3 s windows, 3 refreshes (a smoke run of about half a
# minute, which CI runs). The script ends with 1, and leaves results.md alone,
# when a measure gives no figure.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
SRC=$(cd "$HERE/.." && pwd)
BUILD=$SRC/build
SIZES="30 300 1000"
SECONDS_STEADY=60
REFRESHES=100
SILENT_REFRESHES=20
SLOW=50
WRITE=1
QUICK=0
while [ $# -gt 0 ]; do
    case "$1" in
    --build) BUILD=$2; shift ;;
    --quick) QUICK=1; SIZES="30"; SECONDS_STEADY=3; REFRESHES=3; SILENT_REFRESHES=3 ;;
    --sizes) SIZES=$2; shift ;;
    --seconds) SECONDS_STEADY=$2; shift ;;
    --refreshes) REFRESHES=$2; shift ;;
    --no-write) WRITE=0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
[ "$QUICK" = 1 ] && WRITE=0

export PAINEL_EXE=$BUILD/app/PainelPesagram
export PAINEL_MDBWRITE=$BUILD/tools/mdbwriter/mdbwrite
BENCH_PANEL=$BUILD/bench/panel/bench_panel
for f in "$PAINEL_EXE" "$PAINEL_MDBWRITE" "$BENCH_PANEL"; do
    [ -x "$f" ] || { echo "not built: $f (cmake --build $BUILD)" >&2; exit 2; }
done

# The virtual display, the private home, Wine prefix and runtime directory.
# shellcheck source=../tests/e2e/lib.sh
source "$SRC/tests/e2e/lib.sh"
e2e_init
TICK=$(getconf CLK_TCK)

# Address of the scale at roster position i (from 0), as the writer makes it.
address() { echo "127.0.$(($1 / 250)).$(($1 % 250 + 1))"; }

# Fake ping: $1 = "|"-separated addresses that wait 4 s and get no reply,
# $2 = a shell pattern of addresses that get no reply at once.
fake_ping() {
    local slow=${1:-__none__} silent=${2:-__none__}
    e2e_fake_ping "for a; do addr=\$a; done
case \"\$addr\" in
$slow) date +%s%N >\"$E2E_TMP/slow-start\"; sleep 4; printf 'PING %s (%s) 56(84) bytes of data.\n\n--- %s ping statistics ---\n1 packets transmitted, 0 received, 100%% packet loss, time 0ms\n' \$addr \$addr \$addr; exit 1 ;;
$silent) printf 'PING %s (%s) 56(84) bytes of data.\n\n--- %s ping statistics ---\n1 packets transmitted, 0 received, 100%% packet loss, time 0ms\n' \$addr \$addr \$addr; exit 1 ;;
esac
printf 'PING %s (%s) 56(84) bytes of data.\n64 bytes from %s: icmp_seq=1 ttl=64 time=0.045 ms\n' \$addr \$addr \$addr"
}

# "|"-separated addresses of $2 scales spread over a roster of $1.
slow_set() {
    local n=$1 k=$2 j out=""
    [ "$k" -gt "$n" ] && k=$n
    for ((j = 0; j < k; j++)); do
        out="$out${out:+|}$(address $((j * n / k)))"
    done
    echo "$out"
}

now_ns() { date +%s%N; }

# utime+stime and cutime+cstime of process $1, in ticks.
cpu_ticks() {
    awk '{sub(/^.*\) /, ""); print $12 + $13, $14 + $15}' "/proc/$1/stat"
}

rss_mib() {
    awk '/^VmRSS:/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"
}

# Clicks "Sair" of the window $1 and sets CLOSE_MS to the ms until process $2
# (a child of this shell) has ended.
close_ms() {
    local win=$1 pid=$2 x y w h t0 t1
    read -r x y w h < <(e2e_window_geometry "$win")
    t0=$(now_ns)
    xdotool mousemove $((x + w - 43)) $((y + h - 41)) click 1
    wait "$pid" 2>/dev/null
    t1=$(now_ns)
    CLOSE_MS=$(((t1 - t0) / 1000000))
}

declare -A R # R[key,N] = value

# Clicks "Atualizar" of window $1 (process $2, N = $3) REFRESHES times, each
# time after the last rebuild has had time to finish and present its tiles,
# and records the resident memory before and after.
refresh_clicks() {
    local win=$1 pid=$2 n=$3 x y w h r0 i gap=1
    [ "$n" -ge 1000 ] && gap=2
    read -r x y w h < <(e2e_window_geometry "$win")
    # Moved once: xdotool's --sync waits for a motion that never comes when
    # the pointer is already there.
    xdotool mousemove $((x + w - 127)) $((y + h - 41))
    sleep 0.5
    r0=$(rss_mib "$pid")
    for ((i = 0; i < REFRESHES; i++)); do
        xdotool click 1
        sleep "$gap"
    done
    sleep 5
    R[out_rss_refresh,$n]=$(awk -v a="$r0" -v b="$(rss_mib "$pid")" 'BEGIN {printf "%.2f", b - a}')
}

# The real program with all scales answering: CPU, memory, close.
outside_steady() {
    local n=$1 pid win a b c d t0 t1
    fake_ping
    e2e_start
    pid=$E2E_LAST_PID
    win=$(e2e_wait_window "$E2E_TITLE" 120 "$pid") || { echo "no window at N=$n" >&2; return 1; }
    sleep 5
    R[out_rss,$n]=$(rss_mib "$pid")
    read -r a b < <(cpu_ticks "$pid")
    t0=$(now_ns)
    sleep "$SECONDS_STEADY"
    read -r c d < <(cpu_ticks "$pid")
    t1=$(now_ns)
    R[out_cpu_self,$n]=$(awk -v s=$((c - a)) -v t=$TICK -v w=$((t1 - t0)) 'BEGIN {printf "%.2f", 100 * s / t / (w / 1e9)}')
    R[out_cpu_all,$n]=$(awk -v s=$((c - a + d - b)) -v t=$TICK -v w=$((t1 - t0)) 'BEGIN {printf "%.2f", 100 * s / t / (w / 1e9)}')
    R[out_threads,$n]=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status")
    refresh_clicks "$win" "$pid" "$n"
    close_ms "$win" "$pid"
    R[out_close0,$n]=$CLOSE_MS
}

# Running processes whose environment holds the line $1: the program and
# everything it started (shells, pings and their children), wherever they
# have been moved in the process tree.
marked_processes() {
    grep -lzxF -- "$1" /proc/[0-9]*/environ 2>/dev/null | wc -l
}

# Waits until a slow probe begins after this call: the worst moment for a
# close or a refresh, a whole ping wait ahead.
wait_slow_start() {
    local seen i
    seen=$(cat "$E2E_TMP/slow-start" 2>/dev/null)
    for i in $(seq 200); do
        [ "$(cat "$E2E_TMP/slow-start" 2>/dev/null)" != "$seen" ] && break
        sleep 0.05
    done
}

# The real program with 50 scales waiting 4 s for no reply: the close, and
# what is left of its children one second after its exit and one second
# after a kill -9.
outside_slow() {
    local n=$1 pid win mark
    fake_ping "$(slow_set "$n" "$SLOW")"
    mark="PAINEL_BENCH_RUN=$$-$n-close"
    PAINEL_BENCH_RUN=${mark#*=} e2e_start
    pid=$E2E_LAST_PID
    win=$(e2e_wait_window "$E2E_TITLE" 120 "$pid") || { echo "no window at N=$n" >&2; return 1; }
    sleep 5
    wait_slow_start
    close_ms "$win" "$pid"
    R[out_close50,$n]=$CLOSE_MS
    sleep 1
    R[out_left_close,$n]=$(marked_processes "$mark")

    mark="PAINEL_BENCH_RUN=$$-$n-kill"
    PAINEL_BENCH_RUN=${mark#*=} e2e_start
    pid=$E2E_LAST_PID
    e2e_wait_window "$E2E_TITLE" 120 "$pid" >/dev/null || { echo "no window at N=$n" >&2; return 1; }
    sleep 5
    wait_slow_start
    kill -9 "$pid"
    wait "$pid" 2>/dev/null
    sleep 1
    R[out_left_kill,$n]=$(marked_processes "$mark")
}

inside() {
    local n=$1 key value
    fake_ping
    while read -r key value; do
        R[$key,$n]=$value
    done < <("$BENCH_PANEL" steady --seconds "$SECONDS_STEADY" --refreshes "$REFRESHES" 2>>"$E2E_TMP/bench.log")
    fake_ping "" "*[13579]"
    while read -r key value; do
        R[f_$key,$n]=$value
    done < <("$BENCH_PANEL" filter 2>>"$E2E_TMP/bench.log")
    fake_ping "$(slow_set "$n" "$SLOW")"
    while read -r key value; do
        R[$key,$n]=$value
    done < <("$BENCH_PANEL" silent --refreshes "$SILENT_REFRESHES" 2>>"$E2E_TMP/bench.log")
}

START=$(now_ns)
for n in $SIZES; do
    echo "bench: N=$n" >&2
    e2e_database --scales "$n"
    outside_steady "$n"
    outside_slow "$n"
    inside "$n"
done
TOTAL_S=$((($(now_ns) - START) / 1000000000))

fmt() { printf '%.*f' "$2" "${1:-nan}" 2>/dev/null || echo "${1:--}"; }

MISSING=0 # measures that gave no figure

table() {
    local n
    printf '| measure | target at 300 |'
    for n in $SIZES; do printf ' N = %s |' "$n"; done
    printf '\n|---|---|'
    for n in $SIZES; do printf -- '---:|'; done
    printf '\n'
    row() { # label target key digits
        local label=$1 target=$2 key=$3 digits=$4
        printf '| %s | %s |' "$label" "$target"
        for n in $SIZES; do
            [ -n "${R[$key,$n]:-}" ] || MISSING=$((MISSING + 1))
            printf ' %s |' "$(fmt "${R[$key,$n]:-}" "$digits")"
        done
        printf '\n'
    }
    row "panel CPU, steady, without ping children (% of one core)" "< 2" out_cpu_self 2
    row "panel CPU, steady, with ping children (% of one core)" "report" out_cpu_all 2
    row "panel threads" "" out_threads 0
    row "resident memory after start-up (MiB)" "< 150" out_rss 1
    row "resident memory growth over $REFRESHES clicks on \"Atualizar\" (MiB)" "< 5" out_rss_refresh 2
    row "close from \"Sair\" to exit, all answering (ms)" "" out_close0 0
    row "close from \"Sair\" to exit, $SLOW not answering (ms)" "< 500" out_close50 0
    row "processes of the panel left 1 s after its exit, $SLOW not answering" "0" out_left_close 0
    row "processes of the panel left 1 s after a kill -9, $SLOW not answering" "0" out_left_kill 0
    row "GUI thread: 10 ms timer lateness, median (ms)" "" late_median_ms 2
    row "GUI thread: 10 ms timer lateness, p99 (ms)" "< 20" late_p99_ms 2
    row "GUI thread: 10 ms timer lateness, max (ms)" "< 100" late_max_ms 2
    row "bench process CPU over the same window, without children (%)" "" cpu_self_pct 2
    row "activity check, both queries, one scale (µs)" "" check_us 0
    row "activity checks' share of the GUI thread (%)" "" check_gui_pct 2
    row "roster build at start-up (ms)" "< 300" build_ms 1
    row "Atualiza, all answering, first (ms)" "< 1000" refresh_first_ms 1
    row "Atualiza, median of the refreshes (ms)" "" refresh_median_ms 1
    row "Atualiza, max of the refreshes (ms)" "< 1000" refresh_max_ms 1
    row "resident memory growth over the refreshes (MiB)" "< 5" rss_growth_mib 2
    row "Atualiza, $SLOW not answering, probes in flight, median of $SILENT_REFRESHES (ms)" "" silent_refresh_median_ms 1
    row "Atualiza, $SLOW not answering, probes in flight, max of $SILENT_REFRESHES (ms)" "< 300" silent_refresh_max_ms 1
    row "close (TfrmMain), $SLOW not answering, probes in flight (ms)" "" silent_close_ms 1
    row "heap in use, growth over the refreshes (MiB)" "" heap_in_use_growth_mib 2
    row "filter hiding half the tiles: layout again (ms)" "< 50" f_filter_layout_ms 1
    row "filter hiding half the tiles: layout and paint (ms)" "" f_filter_layout_paint_ms 1
    row "filter click to tiles hidden and laid out, end to end (ms)" "" f_filter_click_to_laid_out_ms 0
}

{
    echo "Machine: $(uname -srm), $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores; Qt $(dpkg-query -W -f '${Version}' libqt6core6 2>/dev/null)"
    echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); commit $(git -C "$SRC" rev-parse --short HEAD 2>/dev/null)"
    echo "Steady window: $SECONDS_STEADY s; refreshes: $REFRESHES; whole run: $TOTAL_S s; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    table
} >"$E2E_TMP/table.md"
cat "$E2E_TMP/table.md"
if [ -s "$E2E_TMP/bench.log" ]; then
    echo "bench_panel said:" >&2
    cat "$E2E_TMP/bench.log" >&2
fi
if [ "$MISSING" -gt 0 ]; then
    echo "bench: $MISSING measures gave no figure; results.md left as it was" >&2
    exit 1
fi
if [ "$WRITE" = 1 ]; then
    # The table at the top is replaced; the sections below it (the measured
    # effect of each change, written by hand) are kept.
    {
        echo "# Benchmark results"
        echo
        echo "Written by \`bash bench/run_bench.sh --build <build dir>\` (RelWithDebInfo);"
        echo "see bench/README.md for what is measured and how to read it."
        echo
        cat "$E2E_TMP/table.md"
        if [ -f "$HERE/results.md" ]; then
            awk '/^## /{keep=1} keep' "$HERE/results.md" | sed '1s/^/\n/'
        fi
    } >"$E2E_TMP/results.md"
    cat "$E2E_TMP/results.md" >"$HERE/results.md"
fi
