#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVEL_BUILD_TESTS=OFF
cmake --build build-run -j "$(nproc)" --target korvel
exec ./build-run/src/korvel "$@"
