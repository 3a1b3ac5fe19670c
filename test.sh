#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
# Test clips are made once per run and shared by all tests of the run.
rm -rf build/test-clips
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 600
