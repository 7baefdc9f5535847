#!/usr/bin/env bash
# Flags follow the scales: green (answers, price list updated), yellow
# (answers, outdated), red (no answer yet, or from the fourth unanswered
# probe in a row on), black (disabled: never probed). Edits of the file show up without a
# rebuild: an outdated scale marked updated turns green, a scale disabled
# turns black and is no longer probed. Unchecking "Exibir balanças
# 'Comunicando e Atualizadas'?" hides the green tiles and the rest close up.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
# An unanswered probe takes a second, as the real ping's wait would.
e2e_fake_ping_answering 1
e2e_ping_silent 127.0.0.13
e2e_load_flag_colours

scales() {
    cat <<ROWS
1|Balança 1|127.0.0.11|1|true|true
2|Balança 2|127.0.0.12|2|true|$1
3|Balança 3|127.0.0.13|3|true|true
4|Balança 4|127.0.0.14|4|false|true
5|Balança 5|127.0.0.15|5|$2|true
6|Balança 6|127.0.0.16|1|true|true
ROWS
}
scales false true | e2e_scales_database

e2e_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$pid") || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")
shot=$E2E_TMP/flags.png

e2e_wait_flags "$shot" "$x0" "$y0" 60 GREEN_CHK YELLOW_CHK RED_CHK BLACK_CHK GREEN_CHK GREEN_CHK
e2e_log "all flags ${E2E_WAITED}s after the window appeared"
cp "$shot" "$E2E_TMP/flags-start.png"
[ "$(e2e_probes 127.0.0.14)" = 0 ] || e2e_fail "the disabled scale was probed"
e2e_expect_tiles "$shot" "$x0" "$y0" 6

# At the same time: scale 2's price list is up to date now (green), scale
# 5 is disabled (black, and not probed any more once that shows) and scale
# 6 stops answering (red only after the fourth probe in a row without answer:
# the first comes with the regular probe every ten seconds, three retries
# follow quickly).
scales true false | e2e_scales_database
e2e_ping_silent 127.0.0.16
edited=$(e2e_now)
e2e_wait_flags "$shot" "$x0" "$y0" 30 GREEN_CHK GREEN_CHK RED_CHK BLACK_CHK BLACK_CHK RED_CHK
cp "$shot" "$E2E_TMP/flags-edited.png"
black=${E2E_FLAG_SEEN[4]}
red=${E2E_FLAG_SEEN[5]}
e2e_log "outdated scale green $(e2e_elapsed "${E2E_FLAG_SEEN[1]}" "$edited")s after the edit"
e2e_log "disabled scale black $(e2e_elapsed "$black" "$edited")s after the edit"
[ "$(e2e_probes 127.0.0.15)" -ge 1 ] || e2e_fail "scale 5 was never probed while enabled"
# Probes of scale 6 since the edit, as offsets from it, and those before red.
probes=$(awk -v a=127.0.0.16 -v t="$edited" '$2 == a && $1 > t {printf " +%.1f", $1 - t}' "$E2E_PING_LOG")
n=$(awk -v a=127.0.0.16 -v t="$edited" -v r="$red" '$2 == a && $1 > t && $1 < r {n++} END {print n + 0}' "$E2E_PING_LOG")
e2e_log "silent scale red $(e2e_elapsed "$red" "$edited")s after it stopped answering," \
    "after $n unanswered probes (probes at$probes s)"
[ "$n" = 4 ] || e2e_fail "red after $n unanswered probes, expected 4"

# Green tiles hidden: the others close up from place 0 on.
start=$(e2e_now)
e2e_click_filter "$win" 1
e2e_wait_flags "$shot" "$x0" "$y0" 12 RED_CHK BLACK_CHK BLACK_CHK RED_CHK
e2e_log "green tiles hidden $(e2e_elapsed "$(e2e_now)" "$start")s after the click"
e2e_expect_tiles "$shot" "$x0" "$y0" 4

# An answering scale is probed every ten seconds: fifteen seconds after the
# black flag (room for a late probe on a busy machine), a probe of scale 5
# would be in the log, as one of scale 1 is.
while awk -v a="$(e2e_now)" -v b="$black" 'BEGIN {exit !(a - b < 15)}'; do
    sleep 0.5
done
[ "$(e2e_probes 127.0.0.11 "$black")" -ge 1 ] || e2e_fail "scale 1 was not probed in 15 s"
n=$(e2e_probes 127.0.0.15 "$black")
[ "$n" = 0 ] || e2e_fail "the disabled scale 5 was probed $n times after it turned black"

e2e_click_sair "$win"
e2e_wait_exit "$pid" 60
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
echo "PASS"
