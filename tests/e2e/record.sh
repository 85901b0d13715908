#!/usr/bin/env bash
# Games played in a real terminal with --seed 12345 --record replay exactly in
# canopy-sim: the terminal's last picture and the replay's final screen are the same,
# cell for cell and colour for colour, whether the game ended with q y, with SIGTERM or
# with its terminal closed; and at each of the four levels the terminal shows what the
# headless game shows of world 12345.
# Usage: record.sh <canopy-hollow> <canopy-sim>
# CANOPY_E2E_PLAY_SECONDS: how long the recorded game lives before q y (default 120).
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1")
sim=$(realpath "$2")
play_seconds=${CANOPY_E2E_PLAY_SECONDS:-120}
export LC_ALL=C.UTF-8
before_cleanup() {
    for pidfile in "$work"/*.pid; do
        [[ -s $pidfile ]] && kill -CONT "$(cat "$pidfile")" 2>/dev/null
    done
}

# The pane runs the game as a grandchild of tmux: tmux continues a stopped child of its
# own, and the game must stay stopped while its picture is captured.
cat >"$work/pane.sh" <<'PANE'
#!/usr/bin/env bash
pidfile=$1
shift
sh -c 'echo $$ >"$0"; exec "$@"' "$pidfile" "$@"
echo "EXIT=$?"
exec sleep 600
PANE

start_tmux

# Starts a game in a new 80x25 session and gets it through the intro and title.
start_game() { # name, game options...
    local name=$1
    shift
    tm new-session -d -s "$name" -x 80 -y 25 \
        "bash '$work/pane.sh' '$work/$name.pid' '$game' $*" || fail "$name: no session"
    into_the_game "$name" 20
}
pid_of() { cat "$work/$1.pid"; }

# One key a frame or so: an Escape followed at once by a letter would be Alt+letter.
keys() { # name, keys...
    local name=$1
    shift
    for key in "$@"; do
        tm send-keys -t "$name" "$key"
        sleep 0.15
    done
}

# Stops the game and keeps its picture, text and colours, once tmux has drawn it all.
freeze() { # name, capture name
    kill -STOP "$(pid_of "$1")"
    sleep 0.5
    tm capture-pane -p -t "$1" >"$work/$2.txt"
    tm capture-pane -p -e -t "$1" >"$work/$2.ansi"
}

verify() { # recording, capture name
    local capture
    for capture in "$work/$2.txt" "$work/$2.ansi"; do
        "$sim" --replay "$1" --verify --expect "$capture" >"$work/replay.out" 2>"$work/replay.err" ||
            fail "the replay of $(basename "$1") differs from $(basename "$capture"):
$(cat "$work/replay.err")
--- the terminal ---
$(cat "$work/$2.txt")"
    done
}

# (a) A game with orders and a few minutes of life, ended with q y.
start_game quit --seed 12345 --record "$work/quit.rec"
keys quit e a Escape j s w Escape Escape # the first elf becomes a woodworker
keys quit c s b Tab Tab PageDown PageDown PageDown PageDown PageDown PageDown PageDown PageDown \
    Right Right Right Enter Down Enter Left Left Enter Right Right Right Right Up Enter \
    Down Right Enter Escape Escape Escape # five sleeping platforms around a trunk
pane_has quit 'Building.' || fail "the platform orders were not taken"
sleep "$play_seconds"
keys quit q
wait_until "the quit question" 10 pane_has quit 'Really quit?'
sleep 0.5
tm capture-pane -p -t quit >"$work/quit.txt"
tm capture-pane -p -e -t quit >"$work/quit.ansi"
keys quit y
wait_until "the game to end after q y" 10 pane_has quit 'EXIT='
pane_has quit 'EXIT=0' || fail "q y ended the game with $(screen_text quit | grep EXIT)"
[[ $(sed -n 1p "$work/quit.rec") == "canopy-hollow-recording 1" ]] || fail "no format line"
grep -qx 'seed 12345' "$work/quit.rec" || fail "the recording lacks its seed"
[[ $(grep -c '^key ' "$work/quit.rec") -ge 40 ]] || fail "the recording lacks the orders"
[[ $(tail -1 "$work/quit.rec") == 'wait 121  # y' ]] || fail "the recording does not end with y"
frames=$(grep -c '^frame ' "$work/quit.rec")
((frames > play_seconds * 10)) || fail "only $frames frames in $play_seconds s"
verify "$work/quit.rec" quit

# (b) Ended by SIGTERM: stopped, its picture kept, then terminated and continued.
start_game term --seed 12345 --record "$work/term.rec"
keys term Tab Right Right Down e
sleep 3
freeze term term
kill -TERM "$(pid_of term)"
kill -CONT "$(pid_of term)"
wait_until "the game to end after SIGTERM" 10 pane_has term 'EXIT='
pane_has term 'EXIT=143' || fail "SIGTERM ended the game with $(screen_text term | grep EXIT)"
verify "$work/term.rec" term

# (c) Its terminal closed: stopped, its picture kept, the pane killed, then continued.
start_game hangup --seed 12345 --record "$work/hangup.rec"
keys hangup Tab Tab Left Left Up
sleep 3
freeze hangup hangup
tm kill-session -t hangup
kill -CONT "$(pid_of hangup)"
game_ended() { ! kill -0 "$(pid_of hangup)" 2>/dev/null; }
wait_until "the game to end after its terminal closed" 10 game_ended
verify "$work/hangup.rec" hangup

# (d) World 12345 at the four levels: the terminal against the headless game, each at the
# moment of its capture (the creatures move and the cursor blinks with the clock).
start_game levels --seed 12345 --record "$work/levels.rec"
for level in 0 1 2 3; do
    sleep 1
    freeze levels "level$level"
    cp "$work/levels.rec" "$work/level$level.rec"
    kill -CONT "$(pid_of levels)"
    status_line=$(sed -n 25p "$work/level$level.txt")
    [[ $status_line == *"$((level * 50))'  |  TAB cycle levels"* ]] ||
        fail "level $level: the status line reads '$status_line'"
    grep -qx 'seed 12345' "$work/level$level.rec" || fail "level $level: not world 12345"
    verify "$work/level$level.rec" "level$level"
    keys levels Tab
done
quit_with_q_y levels

echo "record: ok ($frames frames recorded in the long game)"
