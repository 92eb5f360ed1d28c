#!/usr/bin/env bash
# Builds everything and runs the whole suite with ctest. Extra arguments go to ctest (e.g. -L core).
# Environment: BUILD_DIR (default build), TAVREX_WERROR=ON, TAVREX_SANITIZE=address,undefined or thread,
# TAVREX_TARGETS (build only these targets, e.g. "tests_client tests_tcp").
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
tavrex_install_deps
build_dir=${BUILD_DIR:-build}
tavrex_build "$build_dir"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j "${TAVREX_JOBS:-2}" "$@"
