#!/usr/bin/env bash
# The real PainelPesagram.exe under Wine and Xvfb, read through screenshots:
# flags by scale (green, yellow, red, black) with a fake `ping` first on the
# Windows PATH answering in Portuguese, a database edit seen within seconds,
# the windows' icon among the program's resources, the filter captions not
# cut, "Este aplicativo já está
# iniciado." for a second start (exit code 0), "Sair" behind the wait dialog
# (exit code 0, no ping result file left in %TEMP%), and the "Erro" box when
# the database is missing.
#
# Environment: PAINEL_EXE, PAINEL_FAKE_PING, PAINEL_WINTOOL (Windows programs),
# PAINEL_MDBWRITE (the native Access file writer), PAINEL_SOURCE_DIR,
# PAINEL_WINE_PREFIX, PAINEL_E2E_KEEP (optional: keeps screenshots).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$PAINEL_SOURCE_DIR/tests/e2e/lib.sh"
source "$here/wine-lib.sh"
windows_exe=$PAINEL_EXE
export PAINEL_EXE=/bin/true # lib.sh checks for a native program
e2e_init
wine_prefix_ready # WINEPREFIX: the prefix of the build folder
export HOME=$E2E_TMP/home

# The fake ping in C:\painel-fake-ping, first on the Windows PATH.
fakebin=$WINEPREFIX/drive_c/painel-fake-ping
rm -rf "$fakebin" && mkdir -p "$fakebin"
cp "$PAINEL_FAKE_PING" "$fakebin/ping.exe"
: >"$fakebin/ping.log"
: >"$fakebin/silent.txt"
export WINEPATH='C:\painel-fake-ping'
temp_dir=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Temp
[ -d "$temp_dir" ] || temp_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name Temp | head -1)
rm -f "$temp_dir"/p*.txt

# Started from a folder of their own: cmd.exe finds `ping` in the current
# folder before it searches PATH.
mkdir -p "$E2E_TMP/cwd"
wine_start() {
    (cd "$E2E_TMP/cwd" && exec wine "$windows_exe") >>"$E2E_TMP/app.log" 2>&1 &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

finish() {
    wineserver -k 2>/dev/null || true
}
e2e_on_exit finish

scales() {
    cat <<ROWS
1|Balança 1|10.1.1.1|1|true|true
2|Balança 2|10.1.1.2|2|true|$1
3|Balança 3|10.1.1.3|3|true|true
4|Balança 4|10.1.1.4|4|false|true
ROWS
}
echo 10.1.1.3 >"$fakebin/silent.txt"
db=$(e2e_database_path)
scales false | e2e_scales_database
[ -f "$db" ] || e2e_fail "no database at $db"

# ---- flags by scale
wine_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 60) || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")
e2e_log "main window $w x $h at $x0,$y0"
shot=$E2E_TMP/wine-flags.png
e2e_wait_flags "$shot" "$x0" "$y0" 40 GREEN_CHK YELLOW_CHK RED_CHK BLACK_CHK
e2e_log "flags ${E2E_WAITED}s after the window appeared"
cp "$shot" "$E2E_TMP/wine-flags-start.png"
e2e_expect_tiles "$shot" "$x0" "$y0" 4
grep -q ' 10.1.1.1$' "$fakebin/ping.log" || e2e_fail "the fake ping was not used"
if grep -q ' 10.1.1.4$' "$fakebin/ping.log"; then e2e_fail "the disabled scale was probed"; fi

# ---- the longest filter caption is not cut at the box's 252 px: its last
# letters ("...zadas'?") stand beyond, in dark text on the light bottom bar
row_top=$((y0 + h - 82 + 5 + 17 * 2))
darkest=$(convert "$shot" -crop "24x15+$((x0 + 253))+$row_top" +repage -colorspace gray \
    -format '%[fx:int(255*minima+0.5)]' info:)
[ "$darkest" -lt 100 ] ||
    e2e_fail "the caption \"Exibir balanças 'Comunicando e Desatualizadas'?\" ends at 252 px (darkest $darkest)"

# ---- the windows' icon: Qt gives them the program's icon resource IDI_ICON1
wine "$PAINEL_WINTOOL" icon "$(winepath -w "$windows_exe")" >"$E2E_TMP/icon.log" 2>&1 ||
    e2e_fail "the program has no icon for its windows: $(cat "$E2E_TMP/icon.log")"

# ---- a database edit is seen within seconds
scales true | e2e_scales_database
edited=$(e2e_now)
e2e_wait_flags "$shot" "$x0" "$y0" 30 GREEN_CHK GREEN_CHK RED_CHK BLACK_CHK
e2e_log "edit seen $(e2e_elapsed "$(e2e_now)" "$edited")s after it"

# ---- a second start: the box, exit code 0, the first one stays
wine_start
second=$E2E_LAST_PID
# The box is titled after the program (the panel's title is set later).
box=$(e2e_wait_window "PainelPesagram" 30) || e2e_fail "the second start showed no box"
e2e_running "$second" || e2e_fail "the second start ended before its box was closed"
e2e_shot "$E2E_TMP/wine-second.png"
e2e_press_return "$box"
e2e_wait_exit "$second" 30
[ "$E2E_RC" = 0 ] || e2e_fail "exit code of the second start: $E2E_RC"
e2e_running "$pid" || e2e_fail "the first panel ended with the second start"

# ---- Sair behind the wait dialog: exit code 0, no result file left
cp "$shot" "$E2E_TMP/wine-before-sair.png"
start=$(e2e_now)
e2e_click_sair "$win"
e2e_wait_exit "$pid" 60
e2e_log "exit $(e2e_elapsed "$(e2e_now)" "$start")s after the click on Sair"
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
wineserver -w
left=$(find "$temp_dir" -maxdepth 1 -name 'p*.txt' | wc -l)
[ "$left" = 0 ] || e2e_fail "$left ping result files left in %TEMP%"

# ---- the database is missing: the "Erro" box, then the program ends
rm -f "$db"
wine_start
third=$E2E_LAST_PID
box=$(e2e_wait_window "Erro" 60) || e2e_fail "no \"Erro\" box without the database"
e2e_shot "$E2E_TMP/wine-erro.png"
e2e_press_return "$box"
e2e_wait_exit "$third" 30
if e2e_window_exists "$E2E_TITLE"; then e2e_fail "the main window stayed without a database"; fi
echo "PASS"
