#!/usr/bin/env bash
# Builds from scratch and runs the whole suite twice: optimised, then under
# AddressSanitizer + UndefinedBehaviorSanitizer with leak checking.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

build() {  # build <dir> <extra cmake args...>
  local dir=$1; shift
  rm -rf "$dir"
  cmake -S . -B "$dir" -G Ninja -DQV_WERROR=ON -DPython3_EXECUTABLE=/usr/bin/python3 "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

build build-release -DCMAKE_BUILD_TYPE=Release
echo "== optimised build: tests"
ctest --test-dir build-release -j "$jobs" --output-on-failure

# clang, so that the same build also carries the libFuzzer targets.
CC=clang CXX=clang++ build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=ON -DQV_BUILD_BENCH=OFF -DQV_FUZZ=ON
echo "== sanitizer build: tests"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Both runs must pass; the second one's summary closes the output.
ctest --test-dir build-asan -j "$jobs" --output-on-failure
