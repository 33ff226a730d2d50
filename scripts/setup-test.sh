#!/usr/bin/env bash
# Installs what building needs (scripts/setup.sh) and what the tests and benchmarks add: clang
# and its sanitizer runtime, GoogleTest and Google Benchmark, the peer libraries and tools the
# benchmarks and comparison tests measure against, the real files tests read, and the tools the
# install, HTTP and typing tests run.
set -euo pipefail
test_pkgs=(clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
           libpugixml-dev libxml2-dev libtinyxml2-dev libexpat1-dev libdeflate-dev
           python3-lxml xmlstarlet libxml2-utils python3-dask python3-distributed python3-mypy
           python3-venv python3-cryptography openssl curl shared-mime-info iso-codes)
exec bash "$(dirname "$0")/setup.sh" "${test_pkgs[@]}"
