#!/usr/bin/env bash
# canopy-sim as its callers use it: key scripts whose quit question takes a later key,
# replays whose player quit, recordings refused in one line, and --verify against a
# capture. Each case: what it is, the arguments, the exit status, standard error exactly,
# and the menu panel's second row or "-" when no screen is printed.
# Usage: sim.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
sim=$(realpath "$2")
export LC_ALL=C.UTF-8
cd "$work" || fail "no work directory"

head=$'canopy-hollow-recording 1\nseed 7\nwait 32\nwait 32\nstart 1000\n'
printf '%sframe 1040\nframe 1800\n' "$head" >two.rec
printf '%sframe 1040\nkey 113\nwait 120\nwait 121\n' "$head" >quit.rec
printf '%sframe 1040\nkey 113\nwait 121\nframe 1090\n' "$head" >after_quit.rec
printf 'canopy-hollow-recording 2\nseed 7\n' >newer.rec
printf '%sframe 1040\nwait 32\n' "$head" >unfit.rec
printf 'a\tb\n' >bad.txt
echo '1:q 2:: 3:, 4:# 8:n' >declined
echo '1:q 8:y' >yes
echo '1:q 2:x' >short
"$sim" --replay two.rec >two.txt 2>/dev/null || fail "two.rec does not replay"
sed '3s/^./X/' two.txt >changed.txt
first=$(sed -n 3p two.txt)

failures=0
while IFS='|' read -r what args status errors menu; do
    # shellcheck disable=SC2086 # the arguments are split as a shell would
    "$sim" $args >out 2>err
    got=$?
    shown=$(sed -n 2p out)
    shown=${shown:55}
    shown=${shown%"${shown##*[! ]}"}
    [[ -s out ]] || shown=-
    if [[ $got != "$status" || $(cat err) != "$(printf '%b' "$errors")" || $shown != "$menu" ]]; then
        echo "FAIL: $what: status $got, stderr '$(cat err)', menu row '$shown'" >&2
        failures=$((failures + 1))
    fi
done <<CASES
quit question declined by later keys ":" "," "#"|--frames 10 --script declined|0|| Construction
quit question answered yes by a later key|--frames 10 --script yes|0||Really quit?
quit question after the last key|--frames 10 --script short|3|canopy-sim: the game waited for a key after the script ran out|Really quit?
a recording that ends with the player quitting|--replay quit.rec|0||Really quit?
a recording that goes on after the quit|--replay after_quit.rec|2|canopy-sim: after_quit.rec: line 9: the player had quit before it|-
a newer format|--replay newer.rec|2|canopy-sim: newer.rec: line 1: format version 2 is newer than this program reads (1)|-
a recording the game cannot have read|--replay unfit.rec|2|canopy-sim: unfit.rec: line 7: the game waits for no key here: 'wait' does not fit|-
a missing recording|--replay missing.rec|2|canopy-sim: missing.rec: No such file or directory|-
its own final screen|--replay two.rec --verify --expect two.txt|0|canopy-sim: the final screen matches two.txt (2000 cells)| Construction
one changed cell|--replay two.rec --verify --expect changed.txt|1|line 3, column 1: the replay shows '${first:0:1}', the capture 'X'\ncanopy-sim: 1 of 2000 cells differ from changed.txt| Construction
a capture that is no screen|--replay two.rec --verify --expect bad.txt|2|canopy-sim: bad.txt: line 1: a control character, not a screen|-
CASES
((failures == 0)) || exit 1
echo "sim: ok"
