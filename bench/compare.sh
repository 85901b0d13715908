#!/usr/bin/env bash
# The frame benchmark of this checkout against another revision, side by side in one run.
# Both are built in Release (each with its own build settings) from this checkout's
# benchmark source, so they play the same frames; then they run in turn, ROUNDS times
# each, and the medians of all their repetitions are compared: CPU time per frame by
# default, or with --instructions the instructions per frame counted by callgrind,
# which other work on the machine cannot disturb.
# With --terminal, the real game instead: the other revision's canopy-hollow is built and
# the terminal benchmark compares the CPU of the two, each idle at the ground in turn on a
# pseudo-terminal (beside its own figures for this checkout).
# Usage: bench/compare.sh [--rounds N] [--instructions | --terminal] [BASE_REV]   (default: main)
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=5
mode=time
base_rev=main
while [ $# -gt 0 ]; do
    case $1 in
    --rounds) rounds=$2 && shift 2 ;;
    --instructions) mode=instructions && shift ;;
    --terminal) mode=terminal && shift ;;
    -h | --help) sed -n '2,11p' "$0" | cut -c3- && exit 0 ;;
    -*) echo "compare.sh: unknown option $1" >&2 && exit 2 ;;
    *) base_rev=$1 && shift ;;
    esac
done
jobs=${JOBS:-2}
frames=2000 # per benchmark, with --instructions
if [ $mode = instructions ] && ! command -v valgrind >/dev/null; then
    echo "compare.sh: --instructions needs valgrind" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() { # source dir, build dir
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF >"$work/cmake.log" ||
        { cat "$work/cmake.log" >&2 && exit 1; }
    cmake --build "$2" --target canopy-bench -j "$jobs" >"$work/build.log" ||
        { cat "$work/build.log" >&2 && exit 1; }
}

base_id=$(git rev-parse --short "$base_rev^{commit}")
if [ $mode = terminal ]; then
    echo "building canopy-hollow at $base_rev ($base_id) and this checkout" >&2
    mkdir "$work/base"
    git archive "$base_id" | tar -x -C "$work/base"
    cmake -S "$work/base" -B "$work/base-build" -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF \
        -DCANOPY_BENCHMARKS=OFF >"$work/cmake.log" || { cat "$work/cmake.log" >&2 && exit 1; }
    cmake --build "$work/base-build" --target canopy-hollow -j "$jobs" >"$work/build.log" ||
        { cat "$work/build.log" >&2 && exit 1; }
    make --no-print-directory bench-terminal JOBS="$jobs" \
        BENCH_ARGS="--baseline $work/base-build/canopy-hollow"
    exit 0
fi
changed=$(git diff --quiet HEAD -- src bench CMakeLists.txt || echo ", changed")
echo "building $base_rev ($base_id) and this checkout ($(git rev-parse --short HEAD)$changed)" >&2
mkdir "$work/base"
git archive "$base_id" | tar -x -C "$work/base"
cp bench/frame_bench.cpp bench/CMakeLists.txt "$work/base/bench/"
build "$work/base" "$work/base-build"
build . build/bench
base_bin=$work/base-build/bench/canopy-bench
this_bin=build/bench/bench/canopy-bench
names=$("$this_bin" --benchmark_list_tests)

# One line per sample: binary label, benchmark name, value.
samples=$work/samples
: >"$samples"
if [ $mode = time ]; then
    for round in $(seq "$rounds"); do
        echo "round $round of $rounds" >&2
        for side in base this; do
            bin=${side}_bin
            "${!bin}" --benchmark_repetitions=3 --benchmark_format=csv 2>/dev/null |
                awk -F, -v side=$side 'NR > 1 && $1 !~ /_(mean|median|stddev|cv)"$/ {
                    gsub(/"/, "", $1); print side, $1, $4 }' >>"$samples"
        done
    done
    unit="CPU µs per frame (median of $((rounds * 3)) repetitions)"
    digits=2
else
    for name in $names; do
        for side in base this; do
            bin=${side}_bin
            echo "counting $side $name" >&2
            CANOPY_BENCH_FRAMES=$frames valgrind --tool=callgrind --toggle-collect='*one_frame*' \
                --callgrind-out-file="$work/callgrind.out" "${!bin}" \
                --benchmark_filter="^$name/" >/dev/null 2>&1
            awk -v side=$side -v name="$name" -v frames=$frames \
                '/^(summary|totals):/ { print side, name, $2 / frames; exit }' \
                "$work/callgrind.out" >>"$samples"
        done
    done
    unit="instructions per frame (callgrind, $frames frames)"
    digits=0
fi

echo
echo "$(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores; $unit"
printf '%-28s %12s %12s %8s\n' benchmark "$base_id" "this" ratio
for name in $names; do
    median() {
        awk -v side="$1" -v name="$name" '$1 == side && $2 == name { print $3 }' "$samples" |
            sort -g | awk '{ v[NR] = $1 } END {
                print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
    }
    base=$(median base)
    this=$(median this)
    awk -v n="$name" -v b="$base" -v t="$this" -v d=$digits \
        'BEGIN { printf "%-28s %12.*f %12.*f %8.2f\n", n, d, b, d, t, t / b }'
done
