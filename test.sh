#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
# The "windows" set adds the mingw-w64 cross compiler, wine and the test
# framework's sources, for the cross-built Windows layer and its tests.
scripts/install-deps.sh windows
scripts/build.sh
# Test clips are made once per run and shared by all tests of the run.
rm -rf build/test-clips
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 600
