# Shared helpers of the end-to-end tests: a virtual display, a private home,
# Wine prefix and runtime directory, the real program, screenshots and pixel
# colours. Source it, then call e2e_init. Everything started here is ended by
# the EXIT trap.
#
# Environment: PAINEL_EXE (the program), PAINEL_SOURCE_DIR (the source tree),
# PAINEL_MDBWRITE (the Access file writer, for fixture databases).

E2E_TITLE="Pesagram - Painel de Monitoramento"
E2E_PIDS=()
E2E_XVFB=""
E2E_TMP=""

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

e2e_cleanup() {
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill -9 "$pid" 2>/dev/null || true
    done
    if [ -n "$E2E_XVFB" ]; then
        kill "$E2E_XVFB" 2>/dev/null || true
        wait "$E2E_XVFB" 2>/dev/null || true
    fi
    if [ -n "$E2E_TMP" ]; then
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
    e2e_fake_ping 'exit 1'
}

# Puts a fake `ping` first on PATH. $1 is the body of the script (it gets
# ping's arguments); the real ping is then out of reach of the program.
e2e_fake_ping() {
    mkdir -p "$E2E_TMP/fakebin"
    printf '#!/bin/sh\n%s\n' "$1" >"$E2E_TMP/fakebin/ping"
    chmod +x "$E2E_TMP/fakebin/ping"
    export PATH="$E2E_TMP/fakebin:$PATH"
}

# The path of the database file inside the private Wine prefix.
e2e_database_path() {
    echo "$WINEPREFIX/drive_c/Vadmo/PesagramVadmo/data/pxr2010_New.mdb"
}

# Writes the fixture database at the fixed path with the project's writer:
#   e2e_database --scales N   N loopback scales (0: an empty roster)
#   e2e_database --demo       the demo database
#   e2e_database SPEC.json    tables described in JSON
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
