#!/usr/bin/env bash
# The game in a real terminal: its command line answers without one, it refuses to
# start without one, Ctrl-Z gives the terminal back and fg the picture, and Ctrl-C in
# the middle of a game kills it by the signal, so a shell loop stops, and the shell
# gets its terminal back as it was (line mode, echo, flow control, visible cursor,
# main screen).
# Usage: terminal.sh <canopy-hollow> <canopy-sim>
set -u

game=$(realpath "$1")
work=$(mktemp -d)
socket="$work/tmux"  # a private server, gone with the work directory
unset TMUX

fail() {
    echo "FAIL: $*" >&2
    if tmux -S "$socket" has-session 2>/dev/null; then
        echo "--- terminal ---" >&2
        tmux -S "$socket" capture-pane -p -t e2e >&2
        echo "----------------" >&2
    fi
    exit 1
}
cleanup() {
    tmux -S "$socket" kill-server 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

command -v tmux >/dev/null || fail "tmux is not installed"

tm() { tmux -S "$socket" "$@"; }
screen_text() { tm capture-pane -p -t e2e; }
screen_has() { screen_text | grep -qF -- "$1"; }
# Patterns with a digit never match the command line as typed ($?, $((...))).
screen_matches() { screen_text | grep -qE -- "$1"; }
# Polls a condition for up to $2 seconds.
wait_until() {
    local what=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.1
    done
}
prompt_back() { [[ $(screen_text | grep -v '^ *$' | tail -1) == 'e2e$' ]]; }
type_line() { tm send-keys -t e2e -l "$1" && tm send-keys -t e2e Enter; }

# (a) No terminal: exit status 1 at once, one line on stderr, nothing on stdout.
start=$SECONDS
timeout 10 "$game" >"$work/out" 2>"$work/err" </dev/null
status=$?
[[ $status -eq 1 ]] || fail "without a terminal the game exited with $status, not 1"
((SECONDS - start <= 3)) || fail "without a terminal the game took $((SECONDS - start)) s to give up"
[[ ! -s "$work/out" ]] || fail "without a terminal the game wrote to stdout: $(head -c 200 "$work/out")"
[[ $(wc -l <"$work/err") -eq 1 && -s "$work/err" ]] ||
    fail "without a terminal stderr should hold one line, got: $(cat "$work/err")"

# The command line: answers on stdout with status 0, or an error and the usage on
# stderr with status 2, all without a terminal.
"$game" --help >"$work/out" 2>"$work/err" </dev/null || fail "--help should exit with 0"
grep -q '^usage: canopy-hollow' "$work/out" || fail "--help should print the usage: $(cat "$work/out")"
[[ ! -s "$work/err" ]] || fail "--help wrote to stderr: $(cat "$work/err")"
"$game" --version >"$work/out" 2>"$work/err" </dev/null || fail "--version should exit with 0"
grep -qE '^canopy-hollow v?[0-9]+\.[0-9]+' "$work/out" || fail "--version printed: $(cat "$work/out")"
"$game" --bogus >"$work/out" 2>"$work/err" </dev/null
[[ $? -eq 2 ]] || fail "an unknown option should exit with 2"
[[ ! -s "$work/out" ]] || fail "an unknown option wrote to stdout: $(cat "$work/out")"
head -1 "$work/err" | grep -q "^canopy-hollow: .*--bogus" ||
    fail "an unknown option should be named on stderr: $(cat "$work/err")"
grep -q '^usage: canopy-hollow' "$work/err" || fail "an unknown option should show the usage"

# (b) A private tmux server, 80x25, with a plain shell in it.
tm -f /dev/null start-server \; set-option -g default-terminal tmux-256color \; \
    new-session -d -s e2e -x 80 -y 25 \
    "env PS1='e2e\$ ' HISTFILE=/dev/null bash --norc --noprofile" ||
    fail "could not start tmux"
wait_until "the shell prompt" 10 screen_has 'e2e$'

# Standard output redirected, standard input still the terminal: refused untouched.
type_line "'$game' >'$work/pane_out' 2>'$work/pane_err'; echo REDIRECTED=\$?"
wait_until "the redirected run to end" 10 screen_matches 'REDIRECTED=[0-9]'
screen_has 'REDIRECTED=1' || fail "with stdout redirected the game did not exit with 1"
[[ ! -s "$work/pane_out" ]] || fail "with stdout redirected the game wrote to it"

# The intro, the title, the game, Ctrl-Z and fg, then Ctrl-C.
type_line "clear; '$game'; echo EXIT=\$?"
intro_shown() { screen_text | sed -n 9p | cut -c27- | grep -q '^ "An Elf must ever live'; }
wait_until "the intro at row 8, column 26" 15 intro_shown
# The intro takes keys only once it asks for one; earlier ones are drained.
wait_until "the intro's [press any key]" 15 screen_has '[press any key]'
tm send-keys -t e2e Space
title_shown() { screen_has 'C A N O P Y' && screen_has '[press any key]'; }
wait_until "the title screen" 15 title_shown
tm send-keys -t e2e Space
wait_until "the arrival message" 15 screen_has 'The elf mission has arrived at'
[[ $(tm display-message -p -t e2e '#{cursor_flag}') == 0 ]] || fail "the cursor shows during play"

# Ctrl-Z: the shell has the terminal in its own modes; fg: the picture is back.
tm send-keys -t e2e C-z
wait_until "the game to stop after Ctrl-Z" 10 screen_has 'Stopped'
type_line "clear; stty -a; echo STTY-\$((6 * 7))"
wait_until "stty to report while the game is stopped" 10 screen_has 'STTY-42'
modes=$(screen_text | tr -s ' \n;' '\n')
for mode in icanon echo ixon; do
    grep -qx -- "$mode" <<<"$modes" || fail "the terminal lacks '$mode' while the game is stopped"
done
type_line "fg"
wait_until "the picture after fg" 10 screen_has 'The elf mission has arrived at'
[[ $(tm display-message -p -t e2e '#{cursor_flag}') == 0 ]] || fail "the cursor shows after fg"

# A job killed by SIGINT also ends the shell's command line, so the status is asked
# for on a line of its own.
tm send-keys -t e2e C-c
wait_until "the shell prompt after Ctrl-C" 10 prompt_back
type_line "echo STATUS=\$?"
wait_until "the status" 10 screen_matches 'STATUS=[0-9]'
screen_has 'STATUS=130' || fail "Ctrl-C should end the game as SIGINT does (status 130)"

# Ctrl-C kills the game by SIGINT itself, so a shell loop stops there instead of
# starting the next game.
type_line "clear; for run in 1 2; do '$game'; echo \"GAME\$run=\$?\"; done"
wait_until "the intro of the first game" 15 intro_shown
tm send-keys -t e2e C-c
wait_until "the shell prompt after Ctrl-C in a loop" 10 prompt_back
sleep 1
screen_has 'An Elf must' && fail "the second game started after Ctrl-C"
screen_matches 'GAME1=[0-9]' && fail "the loop went on after Ctrl-C"

# The terminal as the shell left it: cursor shown, main screen, line mode and echo.
[[ $(tm display-message -p -t e2e '#{cursor_flag}') == 1 ]] || fail "the cursor stayed hidden"
[[ $(tm display-message -p -t e2e '#{alternate_on}') == 0 ]] ||
    fail "the terminal stayed on the alternate screen"
type_line "clear; stty -a; echo STTY-\$((6 * 7))"
wait_until "stty to report after the game" 10 screen_has 'STTY-42'
modes=$(screen_text | tr -s ' \n;' '\n')
for mode in icanon echo icrnl isig ixon; do
    grep -qx -- "$mode" <<<"$modes" || fail "the terminal lacks '$mode' after the game"
    grep -qx -- "-$mode" <<<"$modes" && fail "the terminal has '-$mode' after the game"
done

echo "terminal: ok"
