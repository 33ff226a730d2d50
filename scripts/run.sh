#!/usr/bin/env bash
# The main job: builds the component and runs the example host program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
rm -rf build-run
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build build-run -j "$(nproc)"
./build-run/examples/catalog_example
