#!/usr/bin/env bash
# A new player in tmux, whose terminal also sends what terminals send: on the main
# screen of world 1, a long OSC string, a CSI sequence with 70 parameter digits, an
# X10 mouse report and a 10 KB paste full of orders act as nothing; Ctrl-S does not
# freeze the game. Then the README's first-platform keys, typed one at a time exactly
# as the README lists them, get an elf building; back on the main menu, q y ends the
# game with status 0.
# Usage: first_platform.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1")
readme="$(dirname "$(realpath "$0")")/../../README.md"

# The menu panel and the detail box: columns 55 to 78 of rows 0 to 19.
panel_text() { screen_text | head -20 | cut -c56-; }
panel_has() { panel_text | grep -qF -- "$1"; }
# Raw bytes into the terminal, given as hexadecimal.
send_bytes() { tm send-keys -t e2e -H "$@"; }
repeat() { printf "$1 %.0s" $(seq "$2"); } # a hexadecimal byte, so many times
# After hostile input, the main menu must still be up and no other page opened; a
# leak would show within a few frames.
still_on_main_menu() { # what was sent
    sleep 0.5
    panel_has 'Main menu:' || fail "$1 changed the menu page"
    panel_has 'Really quit?' && fail "$1 opened the quit question"
    panel_has 'Choose an elf:' && fail "$1 opened the elves page"
    return 0
}

start_tmux e2e 80 25 "env LANG=C.UTF-8 '$game' --seed 1; echo EXIT=\$?; sleep 600"
into_the_game e2e 20

# An OSC string (a window title) of 100 letters q, ended by BEL.
read -r -a letters <<<"$(repeat 71 100)"
send_bytes 1b 5d 30 3b "${letters[@]}" 07
still_on_main_menu "an OSC string of 100 letters"
# A CSI sequence with 70 parameter digits whose final byte is e.
read -r -a digits <<<"$(repeat 31 70)"
send_bytes 1b 5b "${digits[@]}" 65
still_on_main_menu "a CSI sequence of 70 digits"
# An X10 mouse report whose payload reads as q and cursor-key codes.
send_bytes 1b 5b 4d 23 71 28
still_on_main_menu "an X10 mouse report"
# A paste of 10 KB of orders, marked as a paste by tmux since the game asks for it.
{
    for _ in $(seq 200); do printf 'q y e a j s w c s b '; done
    printf 'q\ny\n'
} >"$work/paste"
tm load-buffer -b orders "$work/paste"
tm paste-buffer -p -d -b orders -t e2e
still_on_main_menu "a paste of orders"
# Ctrl-S, then a key whose answer must show: with flow control on, nothing would.
tm send-keys -t e2e C-s
sleep 0.3
tm send-keys -t e2e e
wait_until "the elves page after Ctrl-S" 5 panel_has 'Choose an elf:'
sleep 0.3
tm send-keys -t e2e Escape
wait_until "the main menu after Esc" 5 panel_has 'Main menu:'

# The README's keys, typed one at a time. The cursor has not moved: none of the
# hostile input above moved it, or the last keys would miss the branch.
keys=$(awk '/type these keys one at a time:/ { found = 1; next }
            found && /^    [^ ]/ { print; exit }' "$readme")
[[ -n $keys ]] || fail "no first-platform keys in the README"
for key in $keys; do
    [[ $key == Esc ]] && key=Escape
    tm send-keys -t e2e "$key"
    sleep 0.15
done
wait_until "\"Building.\" in the detail box" 5 panel_has 'Building.'
wait_until "an elf to begin building" 90 screen_has 'has begun building a sleeping'

# Back to the main menu, one page at a time, then quit.
for _ in 1 2 3; do
    tm send-keys -t e2e Escape
    sleep 0.15
done
wait_until "the main menu" 5 panel_has 'Main menu:'
quit_with_q_y e2e

echo "first_platform: ok"
