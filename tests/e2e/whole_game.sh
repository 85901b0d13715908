#!/usr/bin/env bash
# A whole game replayed by canopy-sim from a seed and a key script, frames of 100 ms: one
# elf made a woodworker, five sleeping platforms ordered around the first great tree,
# then play until every elf has slept, fallen and died. The detail box first answers
# each order with "Building." and ends on the mission's failure.
# Usage: whole_game.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
sim=$(realpath "$2")
export LC_ALL=C.UTF-8 # columns are counted in characters, not bytes

cat >"$work/keys" <<'KEYS'
# Darkwood Starshine (elf a) becomes a woodworker.
10:e 11:a 12:Esc 13:j 14:s 15:w 16:Esc 17:Esc
# Sleeping platforms at 100 feet on the branches next to the trunk at (23, 2).
20:c 21:s 22:b 23:Tab 24:Tab
25:Home 26:Home 27:Home 28:Home 29:Home 30:Home 31:Up 32:Up 33:Up 34:Enter
35:Right 36:Enter 37:Down 38:Down 39:Enter 40:Left 41:Left 42:Enter 43:Left 44:Enter
45:Esc 46:Esc 47:Esc
KEYS

fail_showing() { fail "$1"$'\n'"$(cat "$2")"; } # what, the screen that shows it

# The detail box of a printed screen: rows 15 to 19, columns 55 to 78, blanks trimmed.
detail_box() {
    local row line
    for row in 15 16 17 18 19; do
        line=$(sed -n "$((row + 1))p" "$1")
        line=${line:55:24}
        echo "${line%"${line##*[! ]}"}"
    done
}

play() { # frames, output file
    "$sim" --seed 1 --frame-ms 100 --frames "$1" --script "$work/keys" >"$2" ||
        fail_showing "canopy-sim stopped with status $? after $1 frames" "$2"
}

play 48 "$work/ordered"
expected=$'Building.\nBuilding.\nBuilding.\nBuilding.\nBuilding.'
[[ $(detail_box "$work/ordered") == "$expected" ]] ||
    fail_showing "the five orders were not all taken" "$work/ordered"

play 3000 "$work/final"
expected=$'\nAll the elves died. The\nmission is a failure.\nLooks like the elders\nwere right.'
[[ $(detail_box "$work/final") == "$expected" ]] ||
    fail_showing "five minutes on, the detail box does not show the failure" "$work/final"
echo "whole game: ok"
