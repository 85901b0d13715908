#!/usr/bin/env bash
# Watching recorded games in a real terminal: each frame is shown as long as the player
# saw it (a long pause for 2 s at most), the last picture, canopy-sim's final screen,
# stays until a key, where the player quit as where the recording ends, and a key during
# the showing stops it; each ends with status 0 and the terminal as it was found.
# Usage: watch.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1") sim=$(realpath "$2")
recordings="$(dirname "$(realpath "$0")")/../recordings"
export LC_ALL=C.UTF-8
start_tmux

# World 7 for 41 frames 50 ms apart, then a frame ten minutes later, then q y.
{
    printf 'canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nstart 1000\n'
    for ((tick = 1000; tick <= 3000; tick += 50)); do echo "frame $tick"; done
    printf 'frame 603000\nkey 113\nwait 121\n'
} >"$work/pace.rec"

# Once the game has ended, its status and whether the terminal's modes are sane, on one line.
watching() { # name, recording
    local sane="stty -a | grep -Eq '(^| )-(icanon|echo|icrnl|opost)( |\$)' || s=SANE"
    tm new-session -d -s "$1" -x 80 -y 25 \
        "'$game' --replay '$2'; e=\$?; $sane; echo EXIT=\$e \$s; sleep 600"
}
shows_final_screen() { # name, recording
    tm capture-pane -p -e -t "$1" >"$work/$1.ansi" &&
        "$sim" --replay "$2" --verify --expect "$work/$1.ansi" >/dev/null 2>&1
}
held_until_a_key() { # name, recording
    wait_until "$1: canopy-sim's final screen" 20 shows_final_screen "$1" "$2"
    sleep 1
    { shows_final_screen "$1" "$2" && ! pane_has "$1" 'EXIT='; } || fail "$1: the picture went"
    tm send-keys -t "$1" x
    ended_sane "$1" 3
}
ended_sane() { # name, seconds
    wait_until "$1: the end" "$2" pane_has "$1" 'EXIT='
    pane_has "$1" 'EXIT=0 SANE' || fail "$1: ended badly or left raw modes"
    [[ $(tm display-message -p -t "$1" '#{alternate_on}#{cursor_flag}') == 01 ]] ||
        fail "$1: the terminal was left on the game's screen or without its cursor"
}

watching pace "$work/pace.rec"
watching level "$recordings/level_0.rec"
watching stopped "$recordings/quit.rec"

wait_until "pace: the first frame" 20 pane_has pace 'The elf mission has arrived'
start=${EPOCHREALTIME/./}
wait_until "pace: the quit question, the long pause cut short" 15 pane_has pace 'Really quit?'
shown_ms=$(((${EPOCHREALTIME/./} - start) / 1000))
((shown_ms >= 3200)) || fail "pace: 4050 ms of frames shown in $shown_ms ms"
held_until_a_key pace "$work/pace.rec"

held_until_a_key level "$recordings/level_0.rec"

wait_until "stopped: the first frame" 20 pane_has stopped 'The elf mission has arrived'
tm send-keys -t stopped x
ended_sane stopped 3
echo "watch: ok (4050 ms of frames shown in $shown_ms ms)"
