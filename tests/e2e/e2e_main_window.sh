#!/usr/bin/env bash
# The real main window on an empty roster: the colours of its three areas, the
# four legend badges pixel for pixel at their places, and "Sair" ending the
# program with code 0. The tile-area points lie outside any tile (in the flow
# area's padding, right of the last column), so the checks hold with tiles too.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init
e2e_database --scales 0

e2e_start
pid=$E2E_LAST_PID
win=$(e2e_wait_window "$E2E_TITLE" 30 "$pid") || e2e_fail "the main window did not appear"
read -r x0 y0 w h < <(e2e_window_geometry "$win")
[ "$w" = 1416 ] && [ "$h" = 610 ] || e2e_fail "client area is ${w}x${h}, expected 1416x610"

# The window carries the application's icon for the window manager, in all
# six sizes (xprop shows each as "Icon (W x H):").
sizes=$(xprop -len 2000000 -id "$win" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr -dc '0-9 x\n' |
    tr -d ' ' | sort -n | tr '\n' ' ')
[ "$sizes" = "16x16 32x32 48x48 64x64 128x128 256x256 " ] ||
    e2e_fail "_NET_WM_ICON of the main window holds the sizes '$sizes', expected 16 to 256 px"
sleep 1
shot=$E2E_TMP/main.png
e2e_shot "$shot"

# Areas: tile area right of the last tile column, a legend spacer, the bottom
# bar between the filter boxes and the buttons.
while read -r x y rgb what; do
    e2e_expect_pixel "$shot" $((x0 + x)) $((y0 + y)) "$rgb" "$what"
done <<'POINTS'
1 1 0,105,136 tile-area-corner
1410 480 0,105,136 tile-area
1410 3 0,105,136 tile-area-top
185 508 164,209,255 legend-spacer-1
441 508 164,209,255 legend-spacer-2
724 508 164,209,255 legend-spacer-3
600 570 223,239,255 bottom-bar
1000 600 223,239,255 bottom-bar-right
POINTS

# Legend badges: each 41 x 40 box shows its picture as stored, over the
# legend bar's colour.
pictures=$PAINEL_SOURCE_DIR/resources/pictures
while read -r name x; do
    [ -f "$pictures/$name.png" ] || e2e_fail "missing picture $pictures/$name.png"
    expected=$E2E_TMP/$name-expected.png
    got=$E2E_TMP/$name-got.png
    convert -size 41x40 "xc:rgb(164,209,255)" "$pictures/$name.png" -compose over -composite \
        -alpha off "$expected"
    convert "$shot" -crop "41x40+$((x0 + x))+$((y0 + 488))" +repage -alpha off "$got"
    diff=$(compare -metric AE -fuzz 2% "$expected" "$got" null: 2>&1 || true)
    [ "$diff" = 0 ] || e2e_fail "legend badge $name at x=$x differs from its picture in $diff pixels"
done <<'BADGES'
RED_CHK 0
GREEN_CHK 195
YELLOW_CHK 451
BLACK_CHK 734
BADGES

# "Sair": the rightmost button of the bottom bar ends the program normally.
e2e_click_sair "$win"
e2e_wait_exit "$pid" 60
[ "$E2E_RC" = 0 ] || e2e_fail "exit code after Sair: $E2E_RC"
! e2e_window_exists "$E2E_TITLE" || e2e_fail "a main window is still on screen after Sair"
echo "PASS"
