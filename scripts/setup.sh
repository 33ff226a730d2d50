#!/usr/bin/env bash
# Installs the Debian packages that building and running the component and its Python module
# need, when they are missing (the main job, scripts/run.sh). What only the tests and benchmarks
# need is scripts/setup-test.sh's.
# Usage: setup.sh [more packages...]
set -euo pipefail
# The main job's own packages come without their recommendations, which it does not use and
# which cost a fresh machine minutes; the tests' list keeps Debian's usual set.
recommends=(--no-install-recommends)
[ $# -eq 0 ] || recommends=()
pkgs=(cmake ninja-build g++ pkgconf python3 python3-dev pybind11-dev
      zlib1g-dev libcurl4-openssl-dev libssl-dev nettle-dev libisal-dev shared-mime-info "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${recommends[@]}" "${missing[@]}" >/dev/null
else
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
