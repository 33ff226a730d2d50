#!/usr/bin/env bash
# The main job: builds the component and its Python module, then runs the example script as a
# script host would.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
rm -rf build-run
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build build-run -j "$(nproc)"
PYTHONPATH="$PWD/build-run/python" /usr/bin/python3 examples/host_example.py
