#!/usr/bin/env bash
# Installs what building, running and testing Clipwright needs on Debian 12.
# Idempotent and quick when everything is already there: it asks apt only
# for the packages that are missing. Works as root and through sudo.
set -euo pipefail

PACKAGES=(
  g++ cmake make pkg-config
  # libqt6opengl6-dev: the OpenGL module the preview's GPU path draws with
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6dbus6 libqt6opengl6-dev
  qt6-svg-dev
  libmpv-dev
  ffmpeg
  libgtest-dev libgmock-dev
  xvfb xauth
  locales
  fonts-dejavu-core
  desktop-file-utils appstream
  dpkg-dev file
)
# Extra package sets asked for by the caller (e.g. "windows" for the cross build).
for extra in "$@"; do
  case "$extra" in
    # The Windows layer is cross-compiled for x86_64 (the posix thread model,
    # which the test framework needs) and its tests run under wine; the test
    # framework is built from Debian's sources for the cross target.
    windows) PACKAGES+=(g++-mingw-w64-x86-64-posix wine wine64 googletest) ;;
    # The whole program for Windows (scripts/build-windows.sh): the tools that
    # build Qt, ffmpeg and libmpv from Debian's sources, zip for the package,
    # and a virtual display for the smoke test under wine (its screenshot is
    # taken with the encoder's screen grabber).
    windows-package) PACKAGES+=(gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev meson ninja-build nasm cmake pkg-config perl
                                python3 zip unzip xvfb xauth ffmpeg) ;;
    # Debian's package checker, run on the package scripts/package.sh makes.
    package) PACKAGES+=(lintian) ;;
    *) echo "install-deps: unknown package set '$extra'" >&2; exit 2 ;;
  esac
done

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "install-deps: run as root or install sudo" >&2; exit 1; fi
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The preview is tested under a German locale, where the playback engine
# would refuse to start unless the program resets the numeric locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
