# Shared helpers of the end-to-end tests: a virtual display, a private home,
# Wine prefix and runtime directory, the real program, screenshots and pixel
# colours. Source it, then call e2e_init. Everything started here is ended by
# the EXIT trap.
#
# Environment: PAINEL_EXE (the program), PAINEL_SOURCE_DIR (the source tree),
# PAINEL_MDBWRITE (the Access file writer, for fixture databases),
# PAINEL_E2E_KEEP (optional: a directory that receives the screenshots and
# logs of the run before the temporary files go).

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
E2E_TITLE="Pesagram - Painel de Monitoramento"
E2E_PIDS=()
E2E_XVFB=""
E2E_TMP=""
E2E_ON_EXIT=()

e2e_log() { echo "e2e: $*" >&2; }

e2e_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Exits with the skip code of CTest when a tool the tests need is missing.
e2e_require_tools() {
    local t
    for t in Xvfb xdotool xwininfo import convert compare; do
        if ! command -v "$t" >/dev/null 2>&1; then
            echo "SKIP: $t is not installed (bash scripts/setup installs it)"
            exit 77
        fi
    done
    [ -x "${PAINEL_EXE:-}" ] || e2e_fail "PAINEL_EXE is not an executable: '${PAINEL_EXE:-}'"
}

# Runs command $1 (a string for eval) when the test ends, whatever the
# outcome, after the processes it started are gone; last registered runs
# first.
e2e_on_exit() {
    E2E_ON_EXIT=("$1" "${E2E_ON_EXIT[@]}")
}

e2e_cleanup() {
    local pid cmd
    for pid in "${E2E_PIDS[@]}"; do
        kill -9 "$pid" 2>/dev/null || true
    done
    for cmd in "${E2E_ON_EXIT[@]}"; do
        eval "$cmd" >/dev/null 2>&1 || true
    done
    if [ -n "$E2E_XVFB" ]; then
        kill "$E2E_XVFB" 2>/dev/null || true
        wait "$E2E_XVFB" 2>/dev/null || true
    fi
    if [ -n "$E2E_TMP" ]; then
        if [ -n "${PAINEL_E2E_KEEP:-}" ]; then
            mkdir -p "$PAINEL_E2E_KEEP"
            cp "$E2E_TMP"/*.png "$E2E_TMP"/*.log "$PAINEL_E2E_KEEP"/ 2>/dev/null || true
        fi
        rm -rf "$E2E_TMP"
    fi
}

# Starts Xvfb on a free display and makes a private HOME, WINEPREFIX and
# XDG_RUNTIME_DIR.
e2e_init() {
    e2e_require_tools
    trap e2e_cleanup EXIT
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/painel-e2e-XXXXXX")
    export HOME=$E2E_TMP/home
    export WINEPREFIX=$E2E_TMP/wine
    export XDG_RUNTIME_DIR=$E2E_TMP/run
    mkdir -p "$HOME" "$WINEPREFIX/drive_c" "$XDG_RUNTIME_DIR"
    chmod 0700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb

    # Xvfb picks a free display itself and writes its number once it accepts
    # connections: no race with other servers starting at the same time.
    # -noreset: the server would otherwise reset whenever its last client
    # leaves, refusing connections meanwhile.
    : >"$E2E_TMP/display"
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp -noreset 3>"$E2E_TMP/display" \
        >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_XVFB=$!
    local i n=""
    for i in $(seq 100); do
        n=$(tr -dc '0-9' <"$E2E_TMP/display")
        if [ -n "$n" ] && [ "$(wc -l <"$E2E_TMP/display")" -ge 1 ]; then
            break
        fi
        n=""
        kill -0 "$E2E_XVFB" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$n" ] || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    export DISPLAY=":$n"
    xdotool getdisplaygeometry >/dev/null 2>&1 || e2e_fail "cannot reach the display $DISPLAY"

    # No real ping by default: every probe goes unanswered.
    e2e_fake_ping_modes silent
}

# Puts the tests' fake `ping` (tests/common/fake-ping.sh) first on PATH, every
# address behaving as the mode $1 says (see that script); e2e_ping_mode sets
# the mode of one address. Every probe is logged as "<seconds since the
# epoch> <address>" in $E2E_PING_LOG.
e2e_fake_ping_modes() {
    local bin=$E2E_TMP/fakeping
    mkdir -p "$bin"
    rm -f "$bin"/*.mode "$bin"/*.out "$bin"/*.log
    cp "$E2E_LIB_DIR/../common/fake-ping.sh" "$bin/ping"
    chmod +x "$bin/ping"
    echo "$1" >"$bin/default.mode"
    E2E_PING_LOG=$bin/probes.log
    : >"$E2E_PING_LOG"
    case ":$PATH:" in
    *":$bin:"*) ;;
    *) export PATH="$bin:$PATH" ;;
    esac
}

# Sets the fake ping's mode of address $1 to $2 (it may change while the
# program runs).
e2e_ping_mode() {
    echo "$2" >"$E2E_TMP/fakeping/$1.mode"
}

# Puts a fake `ping` of the caller's own first on PATH (the benchmark's). $1
# is the body of the script (it gets ping's arguments); the real ping is then
# out of reach of the program.
e2e_fake_ping() {
    mkdir -p "$E2E_TMP/fakebin"
    printf '#!/bin/sh\n%s\n' "$1" >"$E2E_TMP/fakebin/ping"
    chmod +x "$E2E_TMP/fakebin/ping"
    export PATH="$E2E_TMP/fakebin:$PATH"
}

# Takes the fake `ping` off PATH again: the program runs the real one. Only
# for scales at 127.0.0.0/8, 255.255.255.255 or inside a network namespace
# the test made itself.
e2e_real_ping() {
    local dir kept="" dirs=()
    IFS=: read -r -a dirs <<<"$PATH"
    for dir in "${dirs[@]}"; do
        [ "$dir" = "$E2E_TMP/fakebin" ] || [ "$dir" = "$E2E_TMP/fakeping" ] || kept+="${kept:+:}$dir"
    done
    export PATH=$kept
    command -v ping >/dev/null 2>&1 || { echo "SKIP: ping is not installed"; exit 77; }
}

# The path of the database file inside the private Wine prefix.
e2e_database_path() {
    echo "$WINEPREFIX/drive_c/Vadmo/PesagramVadmo/data/pxr2010_New.mdb"
}

# Writes the fixture database at the fixed path with the project's writer:
#   e2e_database --scales N   N loopback scales (0: an empty roster)
#   e2e_database --demo       the demo database
#   e2e_database TABLES.json  tables described in JSON
e2e_database() {
    if [ ! -x "${PAINEL_MDBWRITE:-}" ]; then
        echo "SKIP: the Access file writer is not built (PAINEL_MDBWRITE)"
        exit 77
    fi
    local db
    db=$(e2e_database_path)
    mkdir -p "$(dirname "$db")"
    case "$1" in
    --*) "$PAINEL_MDBWRITE" "$@" "$db" ;;
    *) "$PAINEL_MDBWRITE" "$db" "$1" ;;
    esac >/dev/null || e2e_fail "cannot write the fixture database ($*)"
}

# Starts the real program in the background; its pid is in E2E_LAST_PID.
e2e_start() {
    "$PAINEL_EXE" "$@" >>"$E2E_TMP/app.log" 2>&1 &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

# Prints the id of a visible window whose title is exactly $1, waiting up to
# $2 seconds (default 20); with $3, only windows of that process. Fails when
# none appears.
e2e_wait_window() {
    local title=$1 timeout=${2:-20} pid=${3:-} id i
    for i in $(seq $((timeout * 10))); do
        if [ -n "$pid" ]; then
            id=$(xdotool search --all --onlyvisible --pid "$pid" --name "^${title}\$" 2>/dev/null | head -1)
        else
            id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1)
        fi
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Whether a visible window titled $1 exists right now (of process $2 if given).
e2e_window_exists() {
    if [ -n "${2:-}" ]; then
        xdotool search --all --onlyvisible --pid "$2" --name "^$1\$" >/dev/null 2>&1
    else
        xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1
    fi
}

# Prints "x y w h" of the client area of window $1 in screen coordinates.
e2e_window_geometry() {
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ {x=$NF}
        /Absolute upper-left Y:/ {y=$NF}
        /^ *Width:/ {w=$NF}
        /^ *Height:/ {h=$NF}
        END {print x, y, w, h}'
}

# Saves a screenshot of the whole screen to $1.
e2e_shot() {
    import -window root "$1"
}

# Prints the colour at ($2,$3) of picture $1 as "r,g,b" (0..255).
e2e_pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)],%[fx:int(255*p{$2,$3}.g+0.5)],%[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# Prints the colours "r,g,b" of picture $1 at the points "x y" read from
# stdin, one a line, in one pass over the picture.
e2e_pixels() {
    local x y format=""
    while read -r x y; do
        [ -n "$x" ] || continue
        format+="%[fx:int(255*p{$x,$y}.r+0.5)],%[fx:int(255*p{$x,$y}.g+0.5)],%[fx:int(255*p{$x,$y}.b+0.5)]\n"
    done
    [ -z "$format" ] || convert "$1" -format "$format" info:
}

# Fails unless the colour at ($2,$3) of picture $1 is $4 ("r,g,b"); $5 names
# the place in the message.
e2e_expect_pixel() {
    local got
    got=$(e2e_pixel "$1" "$2" "$3")
    [ "$got" = "$4" ] || e2e_fail "${5:-pixel} at ($2,$3): expected $4, got $got"
}

# Presses Return in window $1 (closes a message box through its default button).
e2e_press_return() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers Return
}

# Prints the window that has the keyboard focus (0 or 1 for none).
e2e_focus() {
    xdotool getwindowfocus -f 2>/dev/null || echo 0
}

# Waits for a box titled $1 (of process $3 if given, up to $2 seconds) and
# closes it with Return.
e2e_close_box() {
    local box
    box=$(e2e_wait_window "$1" "${2:-20}" "${3:-}") || e2e_fail "no box titled '$1' appeared"
    e2e_press_return "$box"
}

# Left click at screen position ($1,$2).
e2e_click() {
    xdotool mousemove --sync "$1" "$2" click 1
}

# Whether process $1 is running (a process that ended but was not waited for
# yet does not count).
e2e_running() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# Clicks "Sair", the rightmost button of the bottom bar, in main window $1.
# (xdotool's windowclose destroys a window instead of asking it to close, and
# without a window manager nothing else asks; "Sair" closes it as the user
# would.)
e2e_click_sair() {
    local x0 y0 w h
    read -r x0 y0 w h < <(e2e_window_geometry "$1")
    e2e_click $((x0 + w - 42)) $((y0 + h - 41))
}

# Waits up to $2 seconds (default 30) for process $1, started by e2e_start, to
# end and puts its exit code in E2E_RC; fails when it is still running. (Not
# in a command substitution: only this shell can wait for its children.)
e2e_wait_exit() {
    local pid=$1 timeout=${2:-30} i
    for i in $(seq $((timeout * 10))); do
        e2e_running "$pid" || break
        sleep 0.1
    done
    e2e_running "$pid" && e2e_fail "process $pid still runs after ${timeout}s"
    E2E_RC=0
    wait "$pid" || E2E_RC=$?
}

# ---------------------------------------------------------------- fixtures

# The fake `ping` answering every address at once, except those made silent
# with e2e_ping_silent, whose probes take $1 seconds (default 0), as the real
# ping waits for its answer, and get no answer.
e2e_fake_ping_answering() {
    E2E_PING_WAIT=${1:-0}
    e2e_fake_ping_modes reply
}

# Makes address $1 stop answering (it may change while the program runs).
e2e_ping_silent() {
    e2e_ping_mode "$1" "hang ${E2E_PING_WAIT:-0}"
}

# Writes to $1 a JSON description of the Scale and Sect tables for mdbwrite.
# Scales come from stdin, one a line: "SC_No|SC_Name|SC_IP|SECT_No|SC_Used|
# SC_PLUUpdated" (the last two true or false); sectors 1..5 exist.
e2e_scales_tables() {
    local no name ip sect used updated sep=""
    {
        printf '{"tables":[{"name":"Scale","columns":['
        printf '{"name":"SC_No","type":"Long"},'
        printf '{"name":"SC_Name","type":"Text","length":50,"compressed":true},'
        printf '{"name":"SC_IP","type":"Text","length":50,"compressed":true},'
        printf '{"name":"SECT_No","type":"Long"},'
        printf '{"name":"SC_Model","type":"Text","length":30,"compressed":true},'
        printf '{"name":"SC_Used","type":"YesNo"},'
        printf '{"name":"SC_PLUUpdated","type":"YesNo"}],"rows":['
        while IFS='|' read -r no name ip sect used updated; do
            [ -n "$no" ] || continue
            printf '%s[%s,"%s","%s",%s,"BL-15",%s,%s]' "$sep" "$no" "$name" "$ip" "$sect" \
                "$used" "$updated"
            sep=,
        done
        printf ']},{"name":"Sect","columns":[{"name":"SECT_No","type":"Long"},'
        printf '{"name":"SECT_Name","type":"Text","length":50,"compressed":true}],"rows":['
        printf '[1,"Açougue"],[2,"Padaria"],[3,"Frios"],[4,"Hortifruti"],[5,"Peixaria"]]}]}\n'
    } >"$1"
}

# Rewrites the database at the fixed path from scale lines on stdin (see
# e2e_scales_tables). The file is written next to it and moved in place, so
# that the program never reads a half-written file.
e2e_scales_database() {
    local tables=$E2E_TMP/scales.json db tmp
    e2e_scales_tables "$tables"
    db=$(e2e_database_path)
    tmp=$db.new
    mkdir -p "$(dirname "$db")"
    [ -x "${PAINEL_MDBWRITE:-}" ] || { echo "SKIP: the Access file writer is not built (PAINEL_MDBWRITE)"; exit 77; }
    "$PAINEL_MDBWRITE" "$tmp" "$tables" >/dev/null || e2e_fail "cannot write the fixture database"
    mv -f "$tmp" "$db"
}

# ---------------------------------------------------------------- tiles

E2E_TILE_COLOUR="0,162,232"
E2E_WINDOW_COLOUR="0,105,136"

# Prints the client position "x y" of tile $1 (0-based place in the flow
# area) with $2 tiles per row (7 without a scroll bar).
e2e_tile_origin() {
    local i=$1 per=${2:-7}
    echo $((3 + (i % per) * 200)) $((3 + (i / per) * 168))
}

# Points of a tile (tile-relative) that show the tile colour: inside its
# picture, away from the drawing, the texts and the flag.
E2E_TILE_POINTS="8 80
176 80
92 60
8 150
140 150"

# Fails unless screenshot $1 of the main window with client origin ($2,$3)
# shows tiles at places 0..$4-1 and the window colour at the places after
# them, up to $5 places (default 14: two rows).
e2e_expect_tiles() {
    local shot=$1 ox=$2 oy=$3 count=$4 places=${5:-14} i tx ty px py want what got
    local points=() wants=() k=0
    for i in $(seq 0 $((places - 1))); do
        read -r tx ty < <(e2e_tile_origin "$i")
        want=$E2E_WINDOW_COLOUR
        [ "$i" -lt "$count" ] && want=$E2E_TILE_COLOUR
        while read -r px py; do
            points+=("$((ox + tx + px)) $((oy + ty + py))")
            wants+=("$want place $i")
        done <<<"$E2E_TILE_POINTS"
    done
    while read -r got; do
        read -r want what <<<"${wants[k]}"
        [ "$got" = "$want" ] || e2e_fail "$what at (${points[k]}): expected $want, got $got"
        k=$((k + 1))
    done < <(printf '%s\n' "${points[@]}" | e2e_pixels "$shot")
    [ "$k" = "${#points[@]}" ] || e2e_fail "read $k of ${#points[@]} colours"
}

# Prints the average colour "r,g,b" of the $3 x $4 box at ($1,$2) of picture $5.
e2e_average() {
    convert "$5" -crop "$3x$4+$1+$2" +repage -alpha off -scale '1x1!' \
        -format '%[fx:int(255*r+0.5)],%[fx:int(255*g+0.5)],%[fx:int(255*b+0.5)]' info:
}

# Whether the colours "r,g,b" $1 and $2 differ by at most $3 in every channel.
e2e_colour_near() {
    local a b
    IFS=, read -r -a a <<<"$1"
    IFS=, read -r -a b <<<"$2"
    local k d
    for k in 0 1 2; do
        d=$((a[k] - b[k]))
        [ "${d#-}" -le "$3" ] || return 1
    done
}

# The box inside a 41 x 40 flag badge whose average tells the flag apart.
E2E_FLAG_BOX="14 14 13 12"

# Prints the expected average colour of the flag box for flag picture $1
# (RED_CHK, GREEN_CHK, YELLOW_CHK, BLACK_CHK) drawn over the tile colour.
e2e_flag_colour() {
    local x y w h
    read -r x y w h <<<"$E2E_FLAG_BOX"
    convert -size 41x40 "xc:rgb($E2E_WINDOW_COLOUR)" "$PAINEL_SOURCE_DIR/resources/pictures/$1.png" \
        -compose over -composite -alpha off "$E2E_TMP/flag-$1.png"
    e2e_average "$x" "$y" "$w" "$h" "$E2E_TMP/flag-$1.png"
}

# Prints the name of the flag shown by the tile at client position ($2,$3)
# of screenshot $1 (window client origin $4,$5): RED_CHK, GREEN_CHK,
# YELLOW_CHK, BLACK_CHK, or "none:r,g,b" when none matches.
e2e_flag_at() {
    local shot=$1 tx=$2 ty=$3 ox=$4 oy=$5 x y w h got flag
    read -r x y w h <<<"$E2E_FLAG_BOX"
    got=$(e2e_average $((ox + tx + 157 + x)) $((oy + ty + 127 + y)) "$w" "$h" "$shot")
    [ "${#E2E_FLAG_COLOURS[@]}" = 4 ] || e2e_load_flag_colours
    for flag in RED_CHK GREEN_CHK YELLOW_CHK BLACK_CHK; do
        if e2e_colour_near "$got" "${E2E_FLAG_COLOURS[$flag]}" 24; then
            echo "$flag"
            return 0
        fi
    done
    echo "none:$got"
}
declare -A E2E_FLAG_COLOURS=()

# Computes the expected flag colours once (call it before taking the
# results of e2e_flag_at in command substitutions, which cannot keep them).
e2e_load_flag_colours() {
    local flag
    for flag in RED_CHK GREEN_CHK YELLOW_CHK BLACK_CHK; do
        E2E_FLAG_COLOURS[$flag]=$(e2e_flag_colour "$flag")
    done
}

# Prints the seconds since the epoch with milliseconds.
e2e_now() {
    date +%s.%3N
}

# Prints $1 - $2 (seconds) with one decimal.
e2e_elapsed() {
    awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", a - b}'
}

# Waits up to $4 seconds for the flags of the tiles at places 0, 1, ... of
# the main window with client origin ($2,$3) to read as the further
# arguments (RED_CHK, ..., or ANY for a place not checked); screenshots go to
# $1, the last one stays there. E2E_WAITED gets the seconds it took and
# E2E_FLAG_SEEN[place] the time (seconds since the epoch) of the first
# screenshot that showed the expected flag at that place.
e2e_wait_flags() {
    local shot=$1 ox=$2 oy=$3 timeout=$4 i want tx ty start now got=()
    shift 4
    start=$(e2e_now)
    E2E_FLAG_SEEN=()
    [ "${#E2E_FLAG_COLOURS[@]}" = 4 ] || e2e_load_flag_colours
    while :; do
        now=$(e2e_now)
        e2e_shot "$shot"
        got=()
        i=0
        for want in "$@"; do
            read -r tx ty < <(e2e_tile_origin "$i")
            if [ "$want" = ANY ]; then
                got+=(ANY)
            else
                got+=("$(e2e_flag_at "$shot" "$tx" "$ty" "$ox" "$oy")")
            fi
            if [ "${got[i]}" = "$want" ] && [ -z "${E2E_FLAG_SEEN[i]:-}" ]; then
                E2E_FLAG_SEEN[i]=$now
            fi
            i=$((i + 1))
        done
        E2E_WAITED=$(e2e_elapsed "$(e2e_now)" "$start")
        [ "${got[*]}" = "$*" ] && return 0
        awk -v a="$E2E_WAITED" -v t="$timeout" 'BEGIN {exit !(a < t)}' ||
            e2e_fail "flags ${got[*]}, expected $* after ${timeout}s"
        sleep 0.2
    done
}
E2E_FLAG_SEEN=()

# Clicks the box of filter $2 in main window $1: 0 "Sem comunicação",
# 1 "Comunicando e Atualizadas", 2 "Comunicando e Desatualizadas",
# 3 "Desativadas" (17 px high boxes from client y 533, indicator at x 8).
e2e_click_filter() {
    local x0 y0 w h
    read -r x0 y0 w h < <(e2e_window_geometry "$1")
    e2e_click $((x0 + 8)) $((y0 + 528 + 5 + 17 * $2 + 8))
}

# Prints how many probes of address $1 the fake ping logged after the time
# $2 (seconds since the epoch; default 0: all).
e2e_probes() {
    awk -v a="$1" -v t="${2:-0}" '$2 == a && $1 > t {n++} END {print n + 0}' "$E2E_PING_LOG"
}
