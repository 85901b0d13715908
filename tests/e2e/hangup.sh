#!/usr/bin/env bash
# A closed terminal ends the game even when it was started deaf to SIGHUP (nohup, or
# `trap '' HUP`): on each screen, the intro, the title, the game, the quit question
# and the request to enlarge the terminal, the process is gone within 2 seconds of
# its tmux pane being killed. Five games run side by side, one per screen.
# Usage: hangup.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1")
pids=()
before_cleanup() {
    for pid in "${pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null
    done
}

# Each screen: its session name, its width and height, and the keys that reach it.
screens=(intro title main quit enlarge)
declare -A size=([intro]=80x25 [title]=80x25 [main]=80x25 [quit]=80x25 [enlarge]=60x20)
declare -A shown=([intro]='[press any key]' [title]='C A N O P Y' [main]='The elf mission has arrived'
    [quit]='Really quit?' [enlarge]='Please enlarge the terminal')

start_tmux keep 80 25 "sleep 600"
for screen in "${screens[@]}"; do
    tm new-session -d -s "$screen" -x "${size[$screen]%x*}" -y "${size[$screen]#*x}" \
        "trap '' HUP; exec '$game'" || fail "could not open a pane for the $screen"
    pids+=("$(tm display-message -p -t "$screen" '#{pane_pid}')")
done

# Every game shows the intro; then each is taken on to its own screen.
for screen in intro title main quit; do
    wait_until "the intro in the $screen pane" 20 pane_has "$screen" '[press any key]'
done
for screen in title main quit; do
    tm send-keys -t "$screen" Space
done
for screen in title main quit; do
    wait_until "the title in the $screen pane" 10 pane_has "$screen" 'C A N O P Y'
done
for screen in main quit; do
    tm send-keys -t "$screen" Space
done
for screen in main quit; do
    wait_until "the game in the $screen pane" 10 pane_has "$screen" "${shown[main]}"
done
tm send-keys -t quit q
for screen in "${screens[@]}"; do
    wait_until "the $screen" 10 pane_has "$screen" "${shown[$screen]}"
done

for i in "${!screens[@]}"; do
    screen=${screens[$i]}
    pid=${pids[$i]}
    ignored=$(awk '/^SigIgn:/ { print $2 }' "/proc/$pid/status" 2>/dev/null) ||
        fail "the game on the $screen is not running"
    (((0x$ignored & 1) == 1)) || fail "the game on the $screen does not ignore SIGHUP"
    tm kill-pane -t "$screen"
    gone() { ! kill -0 "$pid" 2>/dev/null; }
    start=$(date +%s%N)
    until gone; do
        (($(date +%s%N) - start < 2000000000)) ||
            fail "the game on the $screen still runs 2 s after its pane was killed"
        sleep 0.05
    done
    echo "$screen: gone after $((($(date +%s%N) - start) / 1000000)) ms"
done

echo "hangup: ok"
