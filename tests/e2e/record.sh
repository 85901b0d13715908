#!/usr/bin/env bash
# The real game in a real terminal writes a recording whose replay shows exactly the
# terminal's last picture: world 1 in tmux, the README's first-platform keys typed one at
# a time as the README lists them, then q y, which ends the game with status 0. The
# terminal's picture at the quit question, text and colours, is the replay's final screen.
# Usage: record.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1")
sim=$(realpath "$2")
readme="$(dirname "$(realpath "$0")")/../../README.md"
export LC_ALL=C.UTF-8

start_tmux e2e 80 25 "'$game' --seed 1 --record '$work/game.rec'; echo EXIT=\$?; sleep 600"
into_the_game e2e 20
keys=$(awk '/type these keys one at a time:/ { found = 1; next }
            found && /^    [^ ]/ { print; exit }' "$readme")
[[ -n $keys ]] || fail "no first-platform keys in the README"
# One key a frame or so: an Escape followed at once by a letter would be Alt+letter.
for key in $keys Esc Esc Esc; do
    [[ $key == Esc ]] && key=Escape
    tm send-keys -t e2e "$key"
    sleep 0.15
done
screen_has 'Building.' || fail "the README's keys ordered no platform"
wait_until "the main menu" 5 screen_has 'Main menu:'
tm send-keys -t e2e q
wait_until "the quit question" 5 screen_has 'Really quit?'
sleep 0.5
tm capture-pane -p -t e2e >"$work/screen.txt"
tm capture-pane -p -e -t e2e >"$work/screen.ansi"
tm send-keys -t e2e y
wait_until "the game to end after q y" 10 screen_matches 'EXIT=[0-9]'
screen_has 'EXIT=0' || fail "q y ended the game with $(screen_text | grep EXIT)"

[[ $(tail -1 "$work/game.rec") == 'wait 121  # y' ]] || fail "the recording does not end with y"
for capture in "$work/screen.txt" "$work/screen.ansi"; do
    "$sim" --replay "$work/game.rec" --verify --expect "$capture" >/dev/null 2>"$work/err" ||
        fail "the replay differs from $(basename "$capture"):
$(cat "$work/err")"
done
echo "record: ok"
