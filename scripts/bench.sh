#!/usr/bin/env bash
# Builds the benchmark into ./build-bench and runs it; arguments go to the
# benchmark (e.g. --reps 7). Test clips are cached in ~/.cache/clipwright-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-bench}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLIP_BUILD_BENCH=ON >/dev/null
if ! cmake --build "$BUILD_DIR" --target clipwright-bench -j "$(nproc)" >"$BUILD_DIR/bench-build.log" 2>&1; then
  cat "$BUILD_DIR/bench-build.log" >&2
  exit 1
fi
exec "$BUILD_DIR/bin/clipwright-bench" "$@"
