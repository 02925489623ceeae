#!/usr/bin/env bash
# Installs missing Debian packages, builds Solvarium with its tests into ${BUILD_DIR:-build} and runs them all.
# CMAKE_ARGS: further configure options, e.g. CMAKE_ARGS="-DSOLVARIUM_WERROR=ON".
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh
BUILD_DIR="${BUILD_DIR:-build}"
read -ra cmake_args <<< "${CMAKE_ARGS:-}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "${cmake_args[@]}"
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j8 "$@"
