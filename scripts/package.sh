#!/usr/bin/env bash
# Builds the Debian package clipwright_<version>_amd64.deb into ./dist:
# a release build installed under /usr, packed by CPack with its dependencies
# computed from the shared libraries it links (plus the encoder, ffmpeg).
# Install it with: sudo apt install ./dist/clipwright_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
BUILD_DIR=${PACKAGE_BUILD_DIR:-build-deb}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DCLIP_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
mkdir -p dist
DIST_DIR=$PWD/dist
(cd "$BUILD_DIR" && cpack -G DEB -B "$DIST_DIR" >/dev/null)
rm -rf dist/_CPack_Packages
PACKAGE=$(ls -t dist/clipwright_*_amd64.deb | head -n 1)
# Debian's package checker: any error or warning fails the build.
lintian --fail-on error,warning --allow-root "$PACKAGE"
echo "$PACKAGE"
