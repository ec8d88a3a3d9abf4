#!/usr/bin/env bash
# Builds and runs every test: format check, a warnings-as-errors build, then the same
# suites under the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)

echo "== format check"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ ${#sources[@]} -gt 0 ]; then
  clang-format --dry-run --Werror "${sources[@]}"
fi

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DQV_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$jobs")
}

echo "== build and test"
run_suite build/test -DCMAKE_BUILD_TYPE=Debug

echo "== build and test under sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON
