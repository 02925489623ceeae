#!/usr/bin/env bash
# Installs missing Debian packages, builds Solvarium with its tests into ${BUILD_DIR:-build} and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}"
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j8 "$@"
