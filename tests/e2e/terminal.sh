#!/usr/bin/env bash
# The game in a real terminal: its command line answers without one, it refuses to
# start without one, Ctrl-Z gives the terminal back and fg the picture, and after q y
# the shell gets its terminal back as it was (line mode, echo, flow control, visible
# cursor, main screen).
# Usage: terminal.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
game=$(realpath "$1")
# The shell's terminal modes as stty reports them: each named one on, none off.
modes_on() { # when, modes...
    local when=$1 mode modes
    shift
    type_line "clear; stty -a; echo STTY-\$((6 * 7))"
    wait_until "stty to report $when" 10 screen_has 'STTY-42'
    modes=$(screen_text | tr -s ' \n;' '\n')
    for mode in "$@"; do
        grep -qx -- "$mode" <<<"$modes" || fail "the terminal lacks '$mode' $when"
    done
}
prompt_back() { [[ $(screen_text | grep -v '^ *$' | tail -1) == 'e2e$' ]]; }

# (a) No terminal: exit status 1 at once, one line on stderr, nothing on stdout.
start=$SECONDS
timeout 10 "$game" >"$work/out" 2>"$work/err" </dev/null
status=$?
[[ $status -eq 1 ]] || fail "without a terminal the game exited with $status, not 1"
((SECONDS - start <= 3)) || fail "without a terminal the game took $((SECONDS - start)) s to give up"
[[ ! -s "$work/out" ]] || fail "without a terminal the game wrote to stdout: $(head -c 200 "$work/out")"
[[ $(wc -l <"$work/err") -eq 1 && -s "$work/err" ]] ||
    fail "without a terminal stderr should hold one line, got: $(cat "$work/err")"

# The command line, without a terminal: the words, the status, the stream that holds the
# answer (1 stdout, 2 stderr; the other stays empty) and the answer's first line.
while IFS='|' read -r args want stream first; do
    "$game" "$args" >"$work/1" 2>"$work/2" </dev/null
    status=$?
    [[ $status == "$want" && ! -s "$work/$((3 - stream))" ]] && head -1 "$work/$stream" | grep -q -- "$first" ||
        fail "$args: status $status, stdout '$(head -c 200 "$work/1")', stderr '$(head -c 200 "$work/2")'"
done <<'CASES'
--help|0|1|^usage: canopy-hollow
--version|0|1|^canopy-hollow v\?[0-9]\+\.[0-9]
--bogus|2|2|^canopy-hollow: .*--bogus
CASES

# (b) A private tmux server, 80x25, with a plain shell in it.
start_shell 80 25

# Standard output redirected, standard input still the terminal: refused untouched.
type_line "'$game' >'$work/pane_out' 2>'$work/pane_err'; echo REDIRECTED=\$?"
wait_until "the redirected run to end" 10 screen_matches 'REDIRECTED=[0-9]'
screen_has 'REDIRECTED=1' || fail "with stdout redirected the game did not exit with 1"
[[ ! -s "$work/pane_out" ]] || fail "with stdout redirected the game wrote to it"

# The intro, the title, the game, Ctrl-Z and fg, then Ctrl-C.
type_line "clear; '$game'; echo EXIT=\$?"
wait_until "the intro at row 8, column 26" 15 intro_shown
# The intro takes keys only once it asks for one; earlier ones are drained.
into_the_game e2e 15
[[ $(pane_flag cursor_flag) == 0 ]] || fail "the cursor shows during play"

# Ctrl-Z: the shell has the terminal in its own modes; fg: the picture is back.
tm send-keys -t e2e C-z
wait_until "the game to stop after Ctrl-Z" 10 screen_has 'Stopped'
modes_on "while the game is stopped" icanon echo ixon
type_line "fg"
wait_until "the picture after fg" 10 screen_has 'The elf mission has arrived at'
[[ $(pane_flag cursor_flag) == 0 ]] || fail "the cursor shows after fg"

# q y after fg: the shell reports the game's status on a line of its own.
tm send-keys -t e2e q
wait_until "the quit question" 5 screen_has 'Really quit?'
tm send-keys -t e2e y
wait_until "the shell prompt after q y" 10 prompt_back
type_line "echo STATUS=\$?"
wait_until "the status" 10 screen_matches 'STATUS=[0-9]'
screen_has 'STATUS=0' || fail "q y after fg should end the game with status 0"

# The terminal as the shell left it: cursor shown, main screen, line mode and echo.
[[ $(pane_flag cursor_flag) == 1 ]] || fail "the cursor stayed hidden"
[[ $(pane_flag alternate_on) == 0 ]] ||
    fail "the terminal stayed on the alternate screen"
modes_on "after the game" icanon echo icrnl isig ixon

echo "terminal: ok"
