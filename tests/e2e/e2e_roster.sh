#!/usr/bin/env bash
# The roster on screen: one tile per scale in numeric SC_No order whatever
# the order of the rows in the file, none for a scale whose sector does not
# exist, tiles where they belong and the window colour
# elsewhere; "Atualizar" after the file gained a scale builds one tile more;
# "Sair" ends with code 0. The flags of a disabled (black) and an outdated
# (yellow) scale mark the places of those scales.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_fake_ping_answering
e2e_load_flag_colours

# Rows out of SC_No order: 30 answers and is updated, 9 is disabled (first
# as a number, last as a text), 20 is outdated; 12 belongs to no sector.
rows='30|Balança 30|127.0.0.30|1|true|true
9|Balança 9|127.0.0.9|2|false|true
12|Balança 12|127.0.0.12|9|true|true
20|Balança 20|127.0.0.20|3|true|false'
e2e_scales_database <<<"$rows"

e2e_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$pid") || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")
shot=$E2E_TMP/roster.png
e2e_wait_flags "$shot" "$x0" "$y0" 60 BLACK_CHK YELLOW_CHK GREEN_CHK
e2e_log "first flags after ${E2E_WAITED}s"
e2e_expect_tiles "$shot" "$x0" "$y0" 3

# One scale more (SC_No 15, between 9 and 20): nothing changes until
# "Atualizar", which builds the roster again from the file.
e2e_scales_database <<<"$rows
15|Balança 15|127.0.0.15|4|true|true"
sleep 2
e2e_shot "$shot"
e2e_expect_tiles "$shot" "$x0" "$y0" 3
e2e_click $((x0 + w - 127)) $((y0 + h - 41))
e2e_wait_flags "$shot" "$x0" "$y0" 60 BLACK_CHK GREEN_CHK YELLOW_CHK GREEN_CHK
e2e_log "rebuilt roster with its flags ${E2E_WAITED}s after Atualizar"
e2e_expect_tiles "$shot" "$x0" "$y0" 4
e2e_running "$pid" || e2e_fail "the program ended after Atualizar"
[ "$(e2e_probes 127.0.0.12)" = 0 ] || e2e_fail "the scale without a sector was probed"

start=$(e2e_now)
e2e_click_sair "$win"
e2e_wait_exit "$pid" 60
e2e_log "ended $(e2e_elapsed "$(e2e_now)" "$start")s after Sair"
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
echo "PASS"
