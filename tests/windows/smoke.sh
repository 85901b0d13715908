#!/usr/bin/env bash
# The Windows build in a terminal, under Wine: a detached tmux pane of 100x30 with no
# display. The game refuses redirected output; the intro and the title pass with key
# presses; the game screen shows the main menu and the arrival message in their
# colours and the arrows of the status line; the cursor keys (Home and End as the raw
# sequences a terminal sends) move the map cursor; Escape leaves a menu; q then y ends
# the game with status 0 and the console's cursor shown again. Ctrl-C ends it with the
# cursor shown too, and a console whose input goes away ends the process. The command
# line answers as on Linux.
# Uses $WINEPREFIX when set, else a fresh prefix beside the game, removed afterwards.
# Usage: smoke.sh <canopy-hollow.exe> <canopy-lost-console.exe>
game=$(realpath "$1")
lost=$(realpath "$2")
build=$(dirname "$game")
pane=smoke work_template="$build/smoke.XXXXXX"
# shellcheck source=SCRIPTDIR/../e2e/lib/common.sh
source "$(dirname "$(realpath "$0")")/../e2e/lib/common.sh"
unset DISPLAY WAYLAND_DISPLAY
export LC_ALL=C.UTF-8 WINEDEBUG=-all
if [[ -z ${WINEPREFIX:-} ]]; then
    export WINEPREFIX="$work/wineprefix" WINEDLLOVERRIDES="mscoree,mshtml="
fi
before_cleanup() {
    [[ $WINEPREFIX == "$work"/* ]] && wineserver -k 2>/dev/null
}
command -v wine >/dev/null || fail "wine is not installed"
cursor_shown() { [[ $(pane_flag cursor_flag) == 1 ]]; }

# Every cell of the pane as "row column foreground background", in SGR numbers (39 and
# 49 are the terminal's defaults), from the escape sequences of capture-pane -e.
sgr=$'^\e\\[([0-9;]*)m'
pane_colours() {
    local fg=39 bg=49 y=0 line x i n p
    local -a params
    while IFS= read -r line; do
        x=0 i=0 n=${#line}
        while ((i < n)); do
            if [[ ${line:i:1} == $'\e' ]]; then
                if [[ ${line:i} =~ $sgr ]]; then
                    IFS=';' read -ra params <<<"${BASH_REMATCH[1]:-0}"
                    for p in "${params[@]}"; do
                        case $p in
                        0) fg=39 bg=49 ;;
                        3[0-7] | 39 | 9[0-7]) fg=$p ;;
                        4[0-7] | 49 | 10[0-7]) bg=$p ;;
                        esac
                    done
                    i=$((i + ${#BASH_REMATCH[0]}))
                else
                    i=$((i + 1))
                fi
                continue
            fi
            echo "$y $x $fg $bg"
            x=$((x + 1)) i=$((i + 1))
        done
        y=$((y + 1))
    done < <(tm capture-pane -p -e -t smoke)
}
# "foreground background" of the cell at column $1, row $2; compared as a pattern.
colours_at() { pane_colours | awk -v x="$1" -v y="$2" '$1 == y && $2 == x { print $3, $4 }'; }
expect_colours() {
    local what=$1 x=$2 y=$3 want=$4 got
    got=$(colours_at "$x" "$y")
    # shellcheck disable=SC2053 # a pattern: "97 *" takes any background
    [[ $got == $want ]] || fail "$what at ($x, $y) has SGR colours '$got', not '$want'"
}
# The map cursor: the cell on cyan (46) in the map window, columns 0-53, rows 0-19.
cursor_at() {
    pane_colours | awk -v x="$1" -v y="$2" '$4 == 46 && $1 < 20 && $2 < 54 {
        found = 1; elsewhere += $1 != y || $2 != x } END { exit !found || elsewhere }'
}
press_moves_cursor() {
    local key=$1 x=$2 y=$3
    tm send-keys -t smoke "${@:4}"
    wait_until "the cursor at ($x, $y) after $key" 5 cursor_at "$x" "$y"
}

# Standard output is no console: refused at once, nothing changed.
timeout 60 wine "$game" >"$work/out" 2>"$work/err" </dev/null
status=$?
[[ $status -eq 1 ]] || fail "with no console the game exited with $status, not 1"
[[ ! -s "$work/out" ]] || fail "with no console the game wrote: $(head -c 200 "$work/out")"

# The command line answers as on Linux, console or not: arguments, status, a line of
# what it prints.
while IFS='|' read -r args want_status want_text; do
    # shellcheck disable=SC2086 # the arguments are split as a shell would
    timeout 60 wine "$game" $args >"$work/out" 2>&1 </dev/null
    status=$?
    [[ $status -eq $want_status ]] || fail "'$args' exited with $status, not $want_status"
    grep -qF -- "$want_text" "$work/out" || fail "'$args' did not print '$want_text'"
done <<'ARGUMENTS'
--version|0|canopy-hollow v
--help|0|usage: canopy-hollow [--seed N]
--seed 12x|2|--seed takes a world number
--frobnicate|2|unknown option '--frobnicate'
ARGUMENTS

start_shell 100 30

# Standard input the pane's console, standard output a file.
type_line "wine '$game' >'$work/pane_out' 2>'$work/pane_err'; echo REDIRECTED=\$?"
wait_until "the redirected run to end" 60 screen_matches 'REDIRECTED=[0-9]'
screen_has 'REDIRECTED=1' || fail "with standard output redirected the game did not exit with 1"
[[ ! -s "$work/pane_out" ]] || fail "with standard output redirected the game wrote to it"
grep -q 'needs a console' "$work/pane_err" || fail "no reason given: $(cat "$work/pane_err")"

type_line "clear; wine '$game'; echo EXIT=\$?"
wait_until "the intro at row 8, column 26" 60 intro_shown
into_the_game smoke 15
wait_until "the main menu" 5 screen_has 'Main menu:'
cursor_shown && fail "the console's cursor shows during play"
screen_text >"$build/smoke-screen.txt"

# Glyphs below code page 437's space come out as pictures, not control bytes.
screen_text | sed -n 25p | grep -qF '↑↓→← move cursor' || fail "the status line lacks its arrows"
screen_text | head -20 | cut -c1-54 | grep -qF '•' || fail "the map shows no bullets"
# Colours: the log black on light grey, the menu's blue margin and white key letters,
# the info box on green, the status line's keys in white. Wine's console sends light
# grey text as a reset of all colours and forgets the background it so drops, so text
# on the menu panel shows on the terminal's default background there (a Windows
# console draws the cells itself); hence only the foreground of the key letters.
read -r arrival_x arrival_y < <(screen_text | awk '/The elf mission/ {
    print index($0, "The elf mission") - 1, NR - 1; exit }')
expect_colours "the arrival message" "$arrival_x" "$arrival_y" "30 47"
expect_colours "the menu's margin" 54 0 "30 44"
expect_colours "the C of Construction" 56 1 "97 *"
expect_colours "the info box" 0 20 "39 42"
expect_colours "the T of TAB" 9 24 "97 *"

# The cursor keys move the map cursor; Home and End arrive as a terminal sends them.
find_cursor() { pane_colours | awk '$4 == 46 && $1 < 20 && $2 < 54 { print $2, $1; exit }'; }
cursor=
cursor_found() { cursor=$(find_cursor) && [[ -n $cursor ]]; }
wait_until "the blinking map cursor" 5 cursor_found
read -r x y <<<"$cursor"
press_moves_cursor Right $((x + 1)) "$y" Right
press_moves_cursor Down $((x + 1)) $((y + 1)) Down
press_moves_cursor Home "$x" "$y" -l $'\e[H'
press_moves_cursor End $((x - 1)) $((y + 1)) -l $'\e[F'
press_moves_cursor Up $((x - 1)) "$y" Up
press_moves_cursor Left $((x - 2)) "$y" Left

# Escape, alone in its own send, leaves the construction menu for the main menu.
tm send-keys -t smoke c
wait_until "the construction menu" 5 screen_has 'Sleeping platform'
tm send-keys -t smoke Escape
wait_until "the main menu after Escape" 5 screen_has 'Main menu:'

quit_with_q_y smoke
cursor_shown || fail "the console's cursor stayed hidden after quitting"

# Ctrl-C: Windows' status for it, 0xC000013A, of which a Unix parent sees the low byte.
type_line "clear; wine '$game'; echo EXIT=\$?"
wait_until "the intro" 60 intro_shown
tm send-keys -t smoke C-c
wait_until "the game to end after Ctrl-C" 10 screen_matches 'EXIT=[0-9]'
screen_has 'EXIT=58' || fail "Ctrl-C should end the game with Windows' Ctrl-C status"
cursor_shown || fail "the console's cursor stayed hidden after Ctrl-C"

# The console's input handle closed under a waiting key read: status 1, cursor shown.
type_line "clear; wine '$lost'; echo LOST=\$?"
wait_until "the lost console to end the process" 60 screen_matches 'LOST=[0-9]'
screen_has 'LOST=1' || fail "a console that went away should end the process with status 1"
cursor_shown || fail "the console's cursor stayed hidden after the console went away"

echo "windows smoke: ok"
