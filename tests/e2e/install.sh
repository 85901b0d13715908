#!/usr/bin/env bash
# Installing into a fresh prefix puts the game and canopy-sim in bin/ and the manual page
# in share/man/man6/; both programs run from there, and the page renders without a
# single warning.
# Usage: install.sh <canopy-hollow> <canopy-sim>
# shellcheck source=SCRIPTDIR/lib/common.sh
source "$(dirname "$(realpath "$0")")/lib/common.sh"
build=$(dirname "$(realpath "$1")")
prefix="$work/prefix with space"

cmake --install "$build" --prefix "$prefix" >"$work/log" 2>&1 || fail "cmake --install: $(cat "$work/log")"
installed=$(cd "$prefix" && find . -type f | sort)
expected=$'./bin/canopy-hollow\n./bin/canopy-sim\n./share/man/man6/canopy-hollow.6'
[[ $installed == "$expected" ]] || fail "installed: $installed"
for program in canopy-hollow canopy-sim; do
    [[ -x "$prefix/bin/$program" ]] || fail "$program is not executable"
done
[[ $("$prefix/bin/canopy-hollow" --version) == "canopy-hollow v"* ]] || fail "the game does not run"
"$prefix/bin/canopy-sim" --frames 1 >"$work/screen" || fail "canopy-sim does not run"
grep -q 'Main menu:' "$work/screen" || fail "canopy-sim shows no game"

page="$prefix/share/man/man6/canopy-hollow.6"
groff -ww -z -man "$page" 2>"$work/warnings" || fail "groff failed"
[[ ! -s "$work/warnings" ]] || fail "groff warns: $(cat "$work/warnings")"
MANWIDTH=80 man -l "$page" >"$work/page" 2>"$work/warnings" || fail "man -l failed"
[[ ! -s "$work/warnings" ]] || fail "man -l warns: $(cat "$work/warnings")"
for section in NAME SYNOPSIS OPTIONS KEYS ORDERS FILES 'EXIT STATUS'; do
    grep -qx "$section" "$work/page" || fail "the page has no $section section"
done
[[ $(man --manpath="$prefix/share/man" -w 6 canopy-hollow) == "$page" ]] ||
    fail "man does not find the page under the prefix"
echo "install: ok"
