#!/usr/bin/env bash
# Builds from scratch and runs the whole suite twice: optimised, then under
# AddressSanitizer + UndefinedBehaviorSanitizer with leak checking; then the tests that start
# threads under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-test.sh
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
# Both runs must pass.
ctest --test-dir build-asan -j "$jobs" --output-on-failure

# ThreadSanitizer: only the programs whose tests start threads, and only those tests, so that the
# third build stays small; any race fails the run.
echo "== thread sanitizer build: tests that start threads"
tsan_dir=build-tsan
rm -rf "$tsan_dir"
CC=clang CXX=clang++ cmake -S . -B "$tsan_dir" -G Ninja -DQV_WERROR=ON -DPython3_EXECUTABLE=/usr/bin/python3 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_TSAN=ON -DQV_BUILD_BENCH=OFF -DQV_BUILD_PYTHON=OFF >/dev/null
cmake --build "$tsan_dir" -j "$jobs" --target test_threads test_core test_tree
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/threads/tsan.supp"
"$tsan_dir/tests/test_threads"
"$tsan_dir/tests/test_core" --gtest_filter='ErrorInfo.*:ErrorText.*:StringBuffer.PoolAndIntToStringAreSafeAcrossThreads'
"$tsan_dir/tests/test_tree" --gtest_filter='TagPool.*:NodeArena.*:TreeBuilder.OpenElements*'
