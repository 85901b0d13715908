#!/usr/bin/env bash
# The Windows build in a terminal, under Wine: a detached tmux pane of 100x30 with no
# display. The game refuses redirected output; the intro and the title pass with key
# presses; the game shows the arrival message, the info box and the status line's keys in
# their colours; Tab, a menu letter and Escape act; the game written down with --record
# replays in canopy-sim to the terminal's picture at the quit question, every glyph in
# its place; q then y ends the game with status 0 and the console's cursor shown again.
# Ctrl-C ends it with the cursor shown too, and a console whose input goes away ends
# the process.
# Uses $WINEPREFIX when set, else a fresh prefix beside the game, removed afterwards.
# Usage: smoke.sh <canopy-hollow.exe> <canopy-lost-console.exe> <canopy-sim.exe>
game=$(realpath "$1")
lost=$(realpath "$2")
sim=$(realpath "$3")
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
cd "$work" || fail "no work directory"

start_shell 100 30

# Standard input the pane's console, standard output a file.
type_line "wine '$game' >pane_out 2>pane_err; echo REDIRECTED=\$?"
wait_until "the redirected run to end" 60 screen_matches 'REDIRECTED=[0-9]'
screen_has 'REDIRECTED=1' || fail "with standard output redirected the game did not exit with 1"
[[ ! -s pane_out ]] || fail "with standard output redirected the game wrote to it"
grep -q 'needs a console' pane_err || fail "no reason given: $(cat pane_err)"

type_line "clear; wine '$game' --seed 1 --record game.rec; echo EXIT=\$?"
wait_until "the intro at row 8, column 26" 60 intro_shown
into_the_game smoke 15
wait_until "the main menu" 5 screen_has 'Main menu:'
cursor_shown && fail "the console's cursor shows during play"
screen_text >"$build/smoke-screen.txt"

# Colours as the pane has them: the info box on green, the log on light grey, the
# status line's keys in white. Wine's console sends light grey text as a reset of all
# colours, so the menu panel's text shows on the terminal's default background.
tm capture-pane -p -e -t smoke >colours
for sgr in $'\e[42mThe ground.' $'\e[47m The elf mission' $'\e[97mTAB'; do
    grep -qF "$sgr" colours || fail "no '${sgr:1}' in the pane's colours"
done

tm send-keys -t smoke Tab
wait_until "the 50-foot level after Tab" 5 screen_has " 50'  |  TAB"
tm send-keys -t smoke c
wait_until "the construction menu" 5 screen_has 'Sleeping platform'
# Escape, alone in its own send, leaves the construction menu for the main menu.
tm send-keys -t smoke Escape
wait_until "the main menu after Escape" 5 screen_has 'Main menu:'
tm send-keys -t smoke q
wait_until "the quit question" 5 screen_has 'Really quit?'
sleep 0.5
screen_text >screen.txt
tm send-keys -t smoke y
wait_until "the game to end after q y" 10 screen_matches 'EXIT=[0-9]'
screen_has 'EXIT=0' || fail "q y ended the game with $(screen_text | grep EXIT)"
cursor_shown || fail "the console's cursor stayed hidden after quitting"
wine "$sim" --replay game.rec --verify --expect screen.txt >/dev/null 2>err ||
    fail "the replay differs from the terminal: $(cat err)"

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
