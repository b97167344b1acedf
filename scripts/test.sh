#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a plain build, with every
# benchmark's short run after it, and once under AddressSanitizer and
# UndefinedBehaviorSanitizer, then fuzzes the file reader and the receive path for about a
# minute (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# Every benchmark once in its short run, one at a time (they time themselves), so that
# one that no longer runs to its end fails the run. A few seconds each; the figures
# worth quoting are the full runs' (README, Benchmarks). A hung one is stopped.
started=$SECONDS
for source in bench/*_bench.cpp; do
    name=$(basename "$source" .cpp)
    echo "== $name --short"
    timeout 120 "build/bench/$name" --short
done
echo "== every benchmark ran to its end in $((SECONDS - started)) s"
# A benchmark given an argument it does not know refuses it rather than make a full run.
if timeout 10 build/bench/link_bench --shrot 2>/dev/null; then
    echo "link_bench took an unknown argument for a run" >&2
    exit 1
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE=ON
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The fuzz targets, built with clang in build-fuzz.
./scripts/fuzz.sh
