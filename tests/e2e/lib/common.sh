# Sourced by the end-to-end scripts, never run: a work directory that goes on exit, fail,
# and a private tmux server with the helpers that read its panes and wait on them.
# Set before sourcing: `pane`, the session the one-pane helpers read (default e2e), and
# `work_template` for a work directory elsewhere than mktemp's. A script with more to
# undo on exit defines before_cleanup. `shellcheck -x` follows the scripts into it.
# shellcheck shell=bash
set -u
unset TMUX

if [[ -n ${work_template:-} ]]; then
    work=$(mktemp -d "$work_template")
else
    work=$(mktemp -d)
fi
socket="$work/tmux" # a private server, gone with the work directory
pane=${pane:-e2e}

tm() { tmux -S "$socket" "$@"; }

# Names the fault, shows what the pane shows if it is still there, and ends the script.
fail() {
    echo "FAIL: $*" >&2
    if tm has-session -t "$pane" 2>/dev/null; then
        echo "--- terminal ---" >&2
        tm capture-pane -p -t "$pane" >&2
        echo "----------------" >&2
    fi
    exit 1
}
cleanup() {
    if declare -F before_cleanup >/dev/null; then
        before_cleanup
    fi
    tm kill-server 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Starts the server, 256 colours and no user configuration; with arguments, its first
# session too: name, columns, rows, command.
start_tmux() {
    command -v tmux >/dev/null || fail "tmux is not installed"
    if (($# == 0)); then
        tm -f /dev/null start-server \; set-option -g default-terminal tmux-256color ||
            fail "could not start tmux"
    else
        tm -f /dev/null start-server \; set-option -g default-terminal tmux-256color \; \
            new-session -d -s "$1" -x "$2" -y "$3" "$4" || fail "could not start tmux"
    fi
}
# A plain shell in the pane, its prompt the pane's name and a dollar.
start_shell() { # columns, rows
    start_tmux "$pane" "$1" "$2" "env PS1='$pane\$ ' HISTFILE=/dev/null bash --norc --noprofile"
    wait_until "the shell prompt" 10 screen_has "$pane\$"
}

screen_text() { tm capture-pane -p -t "${1:-$pane}"; } # [session]
screen_has() { screen_text | grep -qF -- "$1"; }
pane_has() { screen_text "$1" | grep -qF -- "$2"; } # session, text
# Patterns with a digit never match the command line as typed ($?, $((...))).
screen_matches() { screen_text | grep -qE -- "$1"; }
pane_flag() { tm display-message -p -t "$pane" "#{$1}"; } # cursor_flag, alternate_on...
type_line() { tm send-keys -t "$pane" -l "$1" && tm send-keys -t "$pane" Enter; }

# Polls a command until it succeeds, for up to so many seconds.
wait_until() { # what, seconds, command...
    local what=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for $what"
        sleep 0.1
    done
}

# The game's first two screens: the intro's quote from row 8, column 26, and the title.
intro_shown() { screen_text | sed -n 9p | cut -c27- | grep -q '^ "An Elf must ever live'; }
title_shown() { pane_has "${1:-$pane}" 'C A N O P Y' && pane_has "${1:-$pane}" '[press any key]'; }
# Space through the intro and the title, once each asks for a key, to the mission's arrival.
into_the_game() { # session, seconds the intro may take to come
    wait_until "$1: the intro's [press any key]" "$2" pane_has "$1" '[press any key]'
    tm send-keys -t "$1" Space
    wait_until "$1: the title screen" 15 title_shown "$1"
    tm send-keys -t "$1" Space
    wait_until "$1: the arrival message" 15 pane_has "$1" 'The elf mission has arrived at'
}
