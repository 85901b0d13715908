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
game=$(realpath "$1")
sim=$(realpath "$2")
play_seconds=${CANOPY_E2E_PLAY_SECONDS:-90}
rec="$work/colony.rec"
export LC_ALL=C.UTF-8
before_cleanup() { [[ -s $work/pid ]] && kill -CONT "$(cat "$work/pid")" 2>/dev/null; }

# The game runs as a grandchild of tmux, so that it stays stopped while it is captured;
# once it has ended, the pane says with what status and whether the modes are sane.
cat >"$work/pane.sh" <<'PANE'
#!/usr/bin/env bash
sh -c 'echo $$ >"$0"; exec "$@"' "$@"
echo "EXIT=$?"
stty -a | grep -Eq '(^| )-(icanon|echo|icrnl|opost)( |$)' && echo "MODES=raw" || echo "MODES=sane"
exec sleep 600
PANE

start_tmux
sitting() { # name, game options...
    local name=$1
    shift
    tm new-session -d -s "$name" -x 80 -y 25 "bash '$work/pane.sh' '$work/pid' '$game' $*" ||
        fail "$name: no session"
}
keys() { # name, keys...: one a frame or so, so that Esc and a letter stay two keys
    local name=$1
    shift
    for key in "$@"; do
        tm send-keys -t "$name" "$key"
        sleep 0.15
    done
}
# The terminal's last picture against the replay of the whole file, text and colours.
capture_and_verify() { # name
    sleep 0.5
    tm capture-pane -p -e -t "$1" >"$work/$1.ansi"
    "$sim" --replay "$rec" --verify --expect "$work/$1.ansi" >/dev/null 2>"$work/replay.err" ||
        fail "$1: the replay differs from the terminal:
$(cat "$work/replay.err")"
}
freeze() { # name
    kill -STOP "$(cat "$work/pid")"
    capture_and_verify "$1"
}
resumed_on() { # name, text on the picture reached
    wait_until "$1: the resumed picture" 10 pane_has "$1" 'TAB cycle levels'
    pane_has "$1" '[press any key]' && fail "$1: the intro or title came again"
    pane_has "$1" "$2" || fail "$1: '$2' is not on the resumed picture"
}
ended_sane() { # name, status
    wait_until "$1: the game to end" 10 pane_matches "$1" 'MODES='
    pane_has "$1" "EXIT=$2" || fail "$1: ended with $(screen_text "$1" | grep EXIT=)"
    pane_has "$1" 'MODES=sane' || fail "$1: the terminal was left in raw mode"
    [[ $(tm display-message -p -t "$1" '#{alternate_on}#{cursor_flag}') == 01 ]] ||
        fail "$1: the terminal was left on the game's screen or without its cursor"
}
quit_and_verify() { # name
    keys "$1" q
    wait_until "$1: the quit question" 5 pane_has "$1" 'Really quit?'
    capture_and_verify "$1"
    keys "$1" y
    ended_sane "$1" 0
}

# 1: orders and some minutes of life, then the terminal goes.
sitting first --seed 1 --record "$rec"
into_the_game first 20
keys first e a Escape j s w Escape Escape c s b Tab Tab Home Home Home Home Home Home Up Up Up Enter
wait_until "the platform order" 5 pane_has first 'Building.'
keys first Escape Escape
sleep "$play_seconds"
freeze first
tm kill-session -t first
kill -CONT "$(cat "$work/pid")"
wait_until "the first game to end with its terminal" 10 eval '! kill -0 "$(cat "$work/pid")" 2>/dev/null'

# 2: resumed where the terminal went; more orders and a Tab; ended by SIGTERM.
sitting second --resume "$rec"
resumed_on second "100'"
keys second e b Escape j s w Escape Escape Tab
sleep 3
freeze second
kill -TERM "$(cat "$work/pid")"
kill -CONT "$(cat "$work/pid")"
ended_sane second 143

# 3 and 4: resumed and ended with q y; then resumed on the main menu and ended again.
sitting third --resume "$rec"
resumed_on third "150'"
keys third Escape Escape
quit_and_verify third
sitting fourth --resume "$rec"
resumed_on fourth 'Main menu:'
quit_and_verify fourth
[[ $(grep -c '^resume ' "$rec") == 3 ]] || fail "the recording lacks its three sittings"
echo "resume: ok ($(grep -c '^frame ' "$rec") frames over four sittings)"
