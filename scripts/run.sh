#!/usr/bin/env bash
# The main job: builds the component, its Python module and the command-line host; runs quorvel
# on a real document of this machine, then the example script as a script host would.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
rm -rf build-run
# Only what the example needs (the library, the module, the examples), the module's sources
# compiled as one; should that ever clash, one object per source.
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=OFF -DQV_FUZZ=OFF \
      -DQV_PYTHON_UNITY=ON -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build build-run -j "$(nproc)" ||
  { cmake -S . -B build-run -DQV_PYTHON_UNITY=OFF >/dev/null && cmake --build build-run -j "$(nproc)"; }
mime=/usr/share/mime/packages/freedesktop.org.xml
build-run/cli/quorvel stats --top 5 "$mime"
build-run/cli/quorvel sel -N m=http://www.freedesktop.org/standards/shared-mime-info \
  '//m:mime-type[m:glob/@pattern="*.xml"]/@type' "$mime"
PYTHONPATH="$PWD/build-run/python" /usr/bin/python3 examples/host_example.py
