#!/usr/bin/env bash
# A tile's tooltip: resting the mouse on a tile opens a tooltip window next to
# it, with the scale's details, and the tooltip on screen follows the next
# probe; the window closes with "Sair" as usual.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_fake_ping_answering
e2e_load_flag_colours

e2e_scales_database <<<'7|Balança 7|127.0.0.7|1|true|true
8|Balança 8|127.0.0.8|2|true|false'

e2e_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$pid") || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")
shot=$E2E_TMP/tooltip.png
e2e_wait_flags "$shot" "$x0" "$y0" 15 GREEN_CHK YELLOW_CHK

# Tooltips show over the active window; without a window manager nothing
# activates it, so the test gives it the input focus as a click would.
xdotool windowfocus --sync "$win"
visible_windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | sort; }
before=$(visible_windows)
# Onto the first tile, then a small move so that the hover starts there.
xdotool mousemove $((x0 + 90)) $((y0 + 70))
sleep 0.3
xdotool mousemove $((x0 + 100)) $((y0 + 80))
tip=""
for _ in $(seq 50); do
    tip=$(comm -13 <(echo "$before") <(visible_windows) | head -n 1)
    [ -n "$tip" ] && break
    sleep 0.1
done
[ -n "$tip" ] || e2e_fail "no tooltip window opened over the tile"
read -r tx ty tw th < <(e2e_window_geometry "$tip")
e2e_log "tooltip window $tip at $tx,$ty size ${tw}x$th"
# Nine lines of details: much taller than one line of text.
[ "$th" -ge 80 ] || e2e_fail "tooltip too small for the details: ${tw}x$th"
[ "$tx" -ge "$x0" ] && [ "$tx" -le $((x0 + 400)) ] || e2e_fail "tooltip away from the tile: x=$tx"
e2e_shot "$shot"
[ -n "${PAINEL_E2E_SHOT:-}" ] && cp "$shot" "$PAINEL_E2E_SHOT"

# The tooltip on screen follows the next probe ("Último ping" moves on)
# instead of going stale.
first=$E2E_TMP/tip-first.png
later=$E2E_TMP/tip-later.png
convert "$shot" -crop "${tw}x${th}+${tx}+${ty}" +repage "$first"
changed=""
for _ in $(seq 24); do
    sleep 0.5
    visible_windows | grep -qx "$tip" || break
    e2e_shot "$shot"
    convert "$shot" -crop "${tw}x${th}+${tx}+${ty}" +repage "$later"
    if [ "$(compare -metric AE "$first" "$later" null: 2>&1 || true)" != 0 ]; then
        changed=1
        break
    fi
done
[ -n "$changed" ] || e2e_fail "the tooltip on screen did not follow the next probe"
visible_windows | grep -qx "$tip" || e2e_fail "the tooltip closed instead of following"

e2e_click_sair "$win"
e2e_wait_exit "$pid" 60
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
echo "PASS"
