#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing.
set -euo pipefail
packages=(cmake ninja-build ccache lld g++ clang-format libxml2-dev libxml2-utils nlohmann-json3-dev libcli11-dev
          googletest libgtest-dev libgmock-dev libbenchmark-dev valgrind clang libclang-rt-14-dev)
if [ "${1:-}" = "--windows" ]; then packages+=(g++-mingw-w64-x86-64-posix wine64 llvm); fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi
