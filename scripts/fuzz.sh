#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (core instrumented, AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a bounded time over a scratch copy of
# its seed corpus. Fails on any crash, sanitizer report, leak, time-out or memory blow-up.
#
#   FUZZ_SECONDS  time per target (default 50; the targets run side by side)
#   FUZZ_JOBS     compile jobs (default: all cores)
#   FUZZ_TARGETS  which targets to run (default: "configfile rxstate switchstream taskfile romfile")
#
# A failing input is kept in build-fuzz/artifacts/; reproduce it with
#   build-fuzz/fuzz/<target>_fuzz build-fuzz/artifacts/<file>
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${FUZZ_SECONDS:-50}
jobs=${FUZZ_JOBS:-$(nproc)}
targets=${FUZZ_TARGETS:-configfile rxstate switchstream taskfile romfile}
build=$root/build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVEL_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++
cmake --build "$build" -j "$jobs"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts=$build/artifacts
rm -rf "$artifacts"
mkdir -p "$artifacts"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=0
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

declare -A pids
for t in $targets; do
  # The committed corpus is only read; new inputs go to the scratch copy.
  cp -r "fuzz/corpus/$t" "$work/$t"
  "$build/fuzz/${t}_fuzz" "$work/$t" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$t-" >"$work/$t.log" 2>&1 &
  pids[$t]=$!
done

failed=0
for t in $targets; do
  if wait "${pids[$t]}"; then
    echo "fuzz $t: ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t.log" | grep -o '[0-9]*$') runs)"
  else
    failed=1
    echo "fuzz $t: FAILED; log follows" >&2
    tail -n 80 "$work/$t.log" >&2
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "failing inputs kept in $artifacts:" >&2
  ls -l "$artifacts" >&2
  exit 1
fi
