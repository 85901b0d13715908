#!/usr/bin/env bash
# canopy-sim as its callers use it: key scripts whose quit question takes a later key,
# replays of recordings with their one-line refusals, and --verify against a capture.
# Usage: sim.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
sim=$(realpath "$2")
export LC_ALL=C.UTF-8

# Every fault is told, not only the first.
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Runs canopy-sim; leaves the status in $status, the output in $work/out and $work/err.
run() {
    "$sim" "$@" >"$work/out" 2>"$work/err"
    status=$?
}
# The menu panel's second row, where the quit question or the main menu shows.
menu_row() {
    local line
    line=$(sed -n 2p "$work/out")
    line=${line:55}
    echo "${line%"${line##*[! ]}"}"
}

expect() { # description, expected status, expected stderr (exact), expected menu row or ""
    local what=$1 want_status=$2 want_err=$3 want_menu=$4
    [[ $status -eq $want_status ]] || fail "$what: exit status $status, not $want_status"
    [[ $(cat "$work/err") == "$want_err" ]] ||
        fail "$what: stderr is '$(cat "$work/err")', not '$want_err'"
    if [[ -n $want_menu ]]; then
        [[ $(menu_row) == "$want_menu" ]] || fail "$what: the menu shows '$(menu_row)', not '$want_menu'"
    fi
}

# The quit question takes the next key of the script, whatever its frame; ":" "," and
# "#" are keys like any other, swallowed by the question.
run --frames 10 --keys '1:q 2:: 3:, 4:# 8:n'
expect "quit question declined with later keys" 0 "" " Construction"
printf '# a comment line\n1:q 2:# # the key "#", then a comment\n3:, 9:n\n' >"$work/script"
run --frames 10 --script "$work/script"
expect "a script file with comments and '#' as a key" 0 "" " Construction"
run --frames 10 --keys '1:q 8:y'
expect "quit question answered yes by a later key" 0 "" "Really quit?"
run --frames 10 --keys '1:q 2:x'
expect "quit question after the last key" 3 \
    "canopy-sim: the game waited for a key after the script ran out" "Really quit?"

# Recordings: a game of two frames, one that asks the question and quits.
head=$'canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nstart 1000\n'
printf '%sframe 1040\nframe 1800\n' "$head" >"$work/two.rec" # the cursor blinks off
printf '%sframe 1040\nkey 113\nwait 120\nwait 121\n' "$head" >"$work/quit.rec"
printf '%sframe 1040\nkey 113\nwait 121\nframe 1090\n' "$head" >"$work/after_quit.rec"
run --replay "$work/quit.rec"
expect "a recording that ends with the player quitting" 0 "" "Really quit?"
run --replay "$work/after_quit.rec"
expect "a recording that goes on after the quit" 2 \
    "canopy-sim: $work/after_quit.rec: line 9: the player had quit before it" ""

# A damaged recording (the reader's verdicts are tested one by one elsewhere), one that
# does not fit the game, a missing file: exit status 2, one line, no screen.
printf 'canopy-hollow-recording 3\nseed 7\n' >"$work/newer.rec"
printf '%sframe 1040\nwait 32\n' "$head" >"$work/unfit.rec"
while read -r name error; do
    run --replay "$work/$name"
    [[ $status -eq 2 ]] || fail "$name: exit status $status, not 2"
    [[ $(cat "$work/err") == "canopy-sim: $work/$name: $error" ]] ||
        fail "$name: stderr is '$(cat "$work/err")'"
    [[ ! -s "$work/out" ]] || fail "$name: a screen was printed"
done <<'CASES'
newer.rec line 1: format version 3 is newer than this program reads (2)
unfit.rec line 7: the game waits for no key here: 'wait' does not fit
missing.rec No such file or directory
CASES
run --replay "$work"
expect "a directory for a recording" 2 "canopy-sim: $work: Is a directory" ""
run --replay "$work/two.rec" --seed 3
[[ $status -eq 2 && $(head -1 "$work/err") == \
    "canopy-sim: --replay takes the seed, the keys and the frame times from the recording" ]] ||
    fail "--replay with --seed: status $status, $(head -1 "$work/err")"

# --frames N stops a replay where a recording of N frames ends.
run --replay "$work/two.rec"
cp "$work/out" "$work/two.txt"
run --replay "$work/two.rec" --frames 1
cp "$work/out" "$work/first.txt"
head -n 6 "$work/two.rec" >"$work/one.rec"
run --replay "$work/one.rec"
cmp -s "$work/out" "$work/first.txt" || fail "--frames 1 differs from a recording of one frame"
cmp -s "$work/first.txt" "$work/two.txt" && fail "the second frame changed nothing: no check"

# --verify: the replay's own screen matches; one changed cell is found and named.
run --replay "$work/two.rec" --verify --expect "$work/two.txt"
expect "verify against the same screen" 0 \
    "canopy-sim: the final screen matches $work/two.txt (2000 cells)" ""
sed '3s/^./X/' "$work/two.txt" >"$work/changed.txt"
original=$(sed -n 3p "$work/two.txt")
original=${original:0:1}
run --replay "$work/two.rec" --verify --expect "$work/changed.txt"
expect "verify against a changed cell" 1 \
    "line 3, column 1: the replay shows '$original', the capture 'X'
canopy-sim: 1 of 2000 cells differ from $work/changed.txt" ""
cmp -s "$work/out" "$work/two.txt" || fail "--verify did not print the final screen"
printf 'a\tb\n' >"$work/bad.txt"
run --replay "$work/two.rec" --verify --expect "$work/bad.txt"
expect "a capture that is no screen" 2 \
    "canopy-sim: $work/bad.txt: line 1: a control character, not a screen" ""

if ((failures > 0)); then
    exit 1
fi
echo "sim: ok"
