#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when they are missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev python3 python3-dev
      zlib1g-dev libcurl4-openssl-dev pybind11-dev pkgconf googletest libgtest-dev libbenchmark-dev
      libpugixml-dev libxml2-dev libtinyxml2-dev shared-mime-info iso-codes python3-venv python3-lxml
      libssl-dev libdeflate-dev nettle-dev libisal-dev openssl curl python3-cryptography
      xmlstarlet libxml2-utils)
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
  apt-get install -y -qq "${missing[@]}" >/dev/null
else
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
