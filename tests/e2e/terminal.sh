#!/usr/bin/env bash
# The game in a real terminal: it refuses to start without one, and after Ctrl-C in
# the middle of a game the shell gets its terminal back as it was (line mode, echo,
# visible cursor, main screen).
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

# The intro, the title, the game, then Ctrl-C.
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

tm send-keys -t e2e C-c
wait_until "the game to end after Ctrl-C" 10 screen_matches 'EXIT=[0-9]'
screen_has 'EXIT=130' || fail "Ctrl-C should end the game with status 130"

# The terminal as the shell left it: cursor shown, main screen, line mode and echo.
[[ $(tm display-message -p -t e2e '#{cursor_flag}') == 1 ]] || fail "the cursor stayed hidden"
[[ $(tm display-message -p -t e2e '#{alternate_on}') == 0 ]] ||
    fail "the terminal stayed on the alternate screen"
type_line "clear; stty -a; echo STTY-\$((6 * 7))"
wait_until "stty to report" 10 screen_has 'STTY-42'
modes=$(screen_text | tr -s ' \n;' '\n')
for mode in icanon echo icrnl isig; do
    grep -qx -- "$mode" <<<"$modes" || fail "the terminal lacks '$mode' after the game"
    grep -qx -- "-$mode" <<<"$modes" && fail "the terminal has '-$mode' after the game"
done

echo "terminal: ok"
