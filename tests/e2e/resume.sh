#!/usr/bin/env bash
# A colony kept over four sittings in a real terminal: a recorded game with orders and
# some minutes of life whose terminal is closed, resumed, played on and ended by SIGTERM,
# resumed, ended with q y, resumed on the main menu and ended with q y again. After each
# sitting the terminal's last picture, with its colours, is canopy-sim's replay of the
# whole file cell for cell, and the terminal is left as it was found.
# Usage: resume.sh <canopy-hollow> <canopy-sim>
# CANOPY_E2E_PLAY_SECONDS: how long the first sitting lives (default 90).
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1") sim=$(realpath "$2") rec="$work/colony.rec"
export LC_ALL=C.UTF-8
start_tmux

# The game runs as the pane shell's child, so that it stays stopped while it is captured;
# once it has ended, the pane says with what status and whether its modes are sane, in
# one line, so that the status is never read before the modes are.
sitting() { # name, game options...
    local name=$1 sane="stty -a | grep -Eq '(^| )-(icanon|echo|icrnl|opost)( |\$)' || s=SANE"
    shift
    tm new-session -d -s "$name" -x 80 -y 25 \
        "'$game' $*; e=\$?; $sane; echo EXIT=\$e \$s; sleep 600"
}
game_pid() { pgrep -P "$(tm display-message -p -t "$1" '#{pane_pid}')"; }
keys() { # name, keys...: one a frame or so, so that Esc and a letter stay two keys
    for key in "${@:2}"; do tm send-keys -t "$1" "$key" && sleep 0.15; done
}
verify() { # name: the terminal's last picture against the replay of the whole file
    sleep 0.5
    tm capture-pane -p -e -t "$1" >"$work/$1.ansi"
    "$sim" --replay "$rec" --verify --expect "$work/$1.ansi" >/dev/null 2>"$work/err" ||
        fail "$1: the replay differs from the terminal: $(cat "$work/err")"
}
resumed_on() { # name, text on the picture reached (no intro, no title)
    sitting "$1" --resume "$rec"
    wait_until "$1: the resumed picture" 10 pane_has "$1" 'TAB cycle levels'
    { pane_has "$1" "$2" && ! pane_has "$1" '[press any key]'; } || fail "$1: no '$2' on resuming"
}
ended_sane() { # name, status
    wait_until "$1: the game to end" 10 pane_has "$1" 'EXIT='
    pane_has "$1" "EXIT=$2 SANE" || fail "$1: ended badly or left raw modes"
    [[ $(tm display-message -p -t "$1" '#{alternate_on}#{cursor_flag}') == 01 ]] ||
        fail "$1: the terminal was left on the game's screen or without its cursor"
}
quit_and_verify() { # name
    keys "$1" Escape Escape q
    wait_until "$1: the quit question" 5 pane_has "$1" 'Really quit?'
    verify "$1"
    keys "$1" y
    ended_sane "$1" 0
}

sitting first --seed 1 --record "$rec"
into_the_game first 20
keys first e a Escape j s w Escape Escape c s b Tab Tab Home Home Home Home Home Home Up Up Up Enter
wait_until "the platform order" 5 pane_has first 'Building.'
keys first Escape Escape && sleep "${CANOPY_E2E_PLAY_SECONDS:-90}"
pid=$(game_pid first)
kill -STOP "$pid" && verify first
tm kill-session -t first && kill -CONT "$pid"
wait_until "the first game to end with its terminal" 10 eval "! kill -0 $pid 2>/dev/null"

resumed_on second "100'"
keys second e b Escape j s w Escape Escape Tab && sleep 3
pid=$(game_pid second)
kill -STOP "$pid" && verify second && kill -TERM "$pid" && kill -CONT "$pid"
ended_sane second 143

resumed_on third "150'"
quit_and_verify third
resumed_on fourth 'Main menu:'
quit_and_verify fourth
[[ $(grep -c '^resume ' "$rec") == 3 ]] || fail "the recording lacks its three sittings"
echo "resume: ok ($(grep -c '^frame ' "$rec") frames over four sittings)"
