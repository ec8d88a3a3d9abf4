#!/usr/bin/env bash
# Builds Quadrivo and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)"
exec build/release/quadrivo "$@"
