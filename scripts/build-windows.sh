#!/usr/bin/env bash
# Cross-builds Clipwright for 64-bit Windows on Debian 12 and writes
# dist/clipwright-<version>-windows-x64.zip.
#
#   scripts/build-windows.sh            # every step
#   scripts/build-windows.sh STEP...    # only these: deps sources prefix clipwright zip
#                                       # or one library: fribidi freetype harfbuzz libass
#                                       # x264 ffmpeg mpv qt
#
# Debian has no Qt 6 or libmpv built for mingw-w64, so their Debian source
# packages (the same versions as this machine's own) are fetched with
# `apt-get source` and cross-built into one prefix: Qt (Core, Gui, Widgets and
# the OpenGL pieces), the encoder's libraries with ffmpeg.exe and ffprobe.exe,
# and libmpv with the libraries it cannot do without. Clipwright is then built
# against that prefix with cmake/mingw-w64-x86_64.cmake.
#
# The prefix lives outside the tree, in $CLIP_WINDOWS_CACHE
# (default /var/cache/clipwright-windows). Each library there carries a stamp
# made of its source version, its recipe below, the toolchain's version and
# the stamps of what it is built on; a library whose stamp still matches is
# not built again, so a second run builds only Clipwright.
#
# The machine is shared: every build runs at the lowest CPU and I/O priority
# with $CLIP_JOBS jobs (default 2).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${CLIP_WINDOWS_CACHE:-/var/cache/clipwright-windows}
JOBS=${CLIP_JOBS:-2}
SRC=$CACHE/src
WORK=$CACHE/work
PREFIX=$CACHE/prefix
STAMPS=$PREFIX/.stamps
TRIPLE=x86_64-w64-mingw32
CLIP_BUILD=$ROOT/build-windows

# The Debian source packages, pinned: the version is part of every stamp.
declare -A SOURCE_VERSION=(
  [fribidi]=1.0.8-2.1
  [freetype]=2.12.1+dfsg-5+deb12u4
  [harfbuzz]=6.0.0+dfsg-3
  [libass]=1:0.17.1-1
  [x264]=2:0.164.3095+gitbaee400-3
  [ffmpeg]=7:5.1.9-0+deb12u1
  [mpv]=0.35.1-4
  [qt6-base]=6.4.2+dfsg-10
)
# Prefix libraries in build order, each with the ones it is built on.
LIBRARIES=(fribidi freetype harfbuzz libass x264 ffmpeg mpv qt)
declare -A BUILT_ON=(
  [harfbuzz]="freetype"
  [libass]="fribidi freetype harfbuzz"
  [ffmpeg]="x264"
  [mpv]="ffmpeg libass"
)
declare -A SOURCE_PACKAGE=([qt]=qt6-base)

log() { printf '\n== %s  %s\n' "$(date +%H:%M:%S)" "$*"; }
die() { printf 'build-windows: %s\n' "$*" >&2; exit 1; }
# Long builds yield the CPU and the disk to everything else on the machine.
lowprio() { nice -n 19 ionice -c3 "$@"; }

source_package() { echo "${SOURCE_PACKAGE[$1]:-$1}"; }
# The unpacked source folder of a library: <package>-<upstream version>.
source_dir() {
  local pkg ver
  pkg=$(source_package "$1")
  ver=${SOURCE_VERSION[$pkg]}
  ver=${ver#*:}
  echo "$SRC/$pkg-${ver%-*}"
}

# --- deps --------------------------------------------------------------------

step_deps() {
  log "deps: host tools for the cross build"
  "$ROOT/scripts/install-deps.sh" windows windows-package
}

# --- sources -----------------------------------------------------------------

# apt-get source needs a deb-src entry for the mirror apt already uses.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/clipwright-deb-src.sources
  if [ -f "$list" ] || grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  local main=/etc/apt/sources.list.d/debian.sources
  [ -f "$main" ] || die "no $main to take the mirror from; add a deb-src entry by hand"
  log "sources: adding $list"
  # The same entries as the binary ones, for source packages.
  sed 's/^Types: deb$/Types: deb-src/' "$main" > "$list"
  apt-get update -qq
}

step_sources() {
  mkdir -p "$SRC"
  local pkg want=()
  for pkg in "${!SOURCE_VERSION[@]}"; do
    local ver=${SOURCE_VERSION[$pkg]}
    ver=${ver#*:}
    [ -d "$SRC/$pkg-${ver%-*}" ] || want+=("$pkg=${SOURCE_VERSION[$pkg]}")
  done
  [ ${#want[@]} -gt 0 ] || { log "sources: all unpacked in $SRC"; return; }
  ensure_deb_src
  log "sources: fetching ${want[*]}"
  (cd "$SRC" && apt-get source -qq "${want[@]}")
}

# --- the prefix's recipes ----------------------------------------------------

# Meson's description of the cross compiler.
meson_cross_file() {
  local f=$WORK/mingw-w64.meson
  mkdir -p "$WORK"
  cat > "$f" <<EOF
[binaries]
c = '$TRIPLE-gcc-posix'
cpp = '$TRIPLE-g++-posix'
ar = '$TRIPLE-ar'
strip = '$TRIPLE-strip'
windres = '$TRIPLE-windres'
pkgconfig = 'pkg-config'

[properties]
pkg_config_libdir = '$PREFIX/lib/pkgconfig'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
  echo "$f"
}

# Configures, builds and installs a meson project as static libraries.
meson_static() {
  local name=$1 src=$2
  shift 2
  [ -f "$WORK/$name/build.ninja" ] ||
    lowprio meson setup "$WORK/$name" "$src" --cross-file "$(meson_cross_file)" \
    --prefix "$PREFIX" --libdir lib --buildtype release --default-library static \
    --wrap-mode nodownload "$@"
  lowprio ninja -C "$WORK/$name" -j "$JOBS" install
}

# Autotools and ffmpeg's configure find the cross compiler and the prefix's
# libraries through these.
cross_env() {
  export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig
  export PKG_CONFIG_PATH=
  export CC=$TRIPLE-gcc-posix CXX=$TRIPLE-g++-posix
  export CPPFLAGS="-I$PREFIX/include" LDFLAGS="-L$PREFIX/lib"
}

build_fribidi() {
  meson_static fribidi "$(source_dir fribidi)" -Ddocs=false
}

build_freetype() {
  # Only what libass needs: no PNG glyphs, no compression, no shaping loop.
  meson_static freetype "$(source_dir freetype)" \
    -Dbrotli=disabled -Dbzip2=disabled -Dharfbuzz=disabled -Dpng=disabled -Dzlib=disabled -Dmmap=disabled
}

build_harfbuzz() {
  meson_static harfbuzz "$(source_dir harfbuzz)" \
    -Dfreetype=enabled -Dglib=disabled -Dgobject=disabled -Dcairo=disabled -Dchafa=disabled \
    -Dicu=disabled -Dgraphite2=disabled -Dtests=disabled -Dintrospection=disabled -Ddocs=disabled \
    -Dbenchmark=disabled -Ddirectwrite=disabled -Dgdi=disabled
}

build_libass() {
  # Fonts come from DirectWrite, Windows' own font provider.
  mkdir -p "$WORK/libass"
  (cd "$WORK/libass" && cross_env &&
    { [ -f Makefile ] || lowprio "$(source_dir libass)/configure" --host=$TRIPLE --prefix="$PREFIX" \
      --enable-static --disable-shared --disable-fontconfig --disable-libunibreak \
      --enable-directwrite --disable-asm --disable-test --disable-compare --disable-profile; } &&
    lowprio make -j "$JOBS" && make install)
}

build_x264() {
  # The library only: ffmpeg's libx264 encoder is the program's H.264 encoder.
  mkdir -p "$WORK/x264"
  (cd "$WORK/x264" && export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig &&
    { [ -f config.mak ] || lowprio "$(source_dir x264)/configure" --host=$TRIPLE --cross-prefix=$TRIPLE- --prefix="$PREFIX" \
      --enable-static --disable-cli --disable-opencl --disable-avs --disable-swscale --disable-lavf \
      --disable-ffms --disable-gpac --disable-lsmash --enable-pic; } &&
    lowprio make -j "$JOBS" && make install)
}

# What the program's encoder needs to do. It opens any video the playback
# engine can, so every demuxer, parser and bitstream filter stays; decoders
# are the common video, sound and subtitle formats; encoders are those of the
# output catalogue (resources/codecs.xml, presets.xml) that need nothing from
# outside, plus libx264, and the null output's wrapped_avframe (the smart cut's
# check decodes its output into it); filters are those the presets name and those the
# encoder puts in by itself (scaling, resampling, rotation, trimming).
FFMPEG_DECODERS="h264,hevc,mpeg4,mpeg1video,mpeg2video,mpegvideo,msmpeg4v1,msmpeg4v2,msmpeg4v3,wmv1,wmv2,wmv3,vc1,\
h263,h263p,h263i,flv,vp6,vp6f,vp6a,vp8,vp9,mjpeg,theora,prores,ffv1,rawvideo,png,gif,dvvideo,huffyuv,qtrle,\
rv10,rv20,rv30,rv40,svq1,svq3,cinepak,msvideo1,av1,aac,aac_latm,mp3,mp3float,mp2,mp2float,mp1,ac3,eac3,flac,\
vorbis,opus,alac,wmav1,wmav2,wmapro,wmalossless,pcm_*,adpcm_*,dca,truehd,mlp,amrnb,amrwb,ra_144,ra_288,cook,\
ass,ssa,subrip,srt,mov_text,webvtt,dvdsub,dvbsub,pgssub,text"
FFMPEG_ENCODERS="libx264,mpeg4,msmpeg4v2,msmpeg4,wmv1,wmv2,mpeg1video,mpeg2video,flv,h263,h263p,rv10,rv20,\
mjpeg,prores_ks,qtrle,huffyuv,ffv1,rawvideo,gif,aac,mp2,ac3,eac3,wmav1,wmav2,pcm_s16le,pcm_s24le,pcm_u8,\
pcm_mulaw,alac,adpcm_ms,adpcm_ima_wav,adpcm_swf,real_144,flac,vorbis,opus,mov_text,ass,ssa,srt,subrip,webvtt,wrapped_avframe"
FFMPEG_FILTERS="buffer,buffersink,abuffer,abuffersink,format,aformat,null,anull,copy,acopy,scale,aresample,\
fps,pad,crop,split,asplit,palettegen,paletteuse,trim,atrim,setpts,asetpts,transpose,hflip,vflip,rotate,\
setsar,setdar,concat,apad,yadif,bwdif"

build_ffmpeg() {
  # Shared libraries, which ffmpeg.exe, ffprobe.exe and libmpv all use;
  # devices, network, hardware acceleration and the player are left out.
  mkdir -p "$WORK/ffmpeg"
  (cd "$WORK/ffmpeg" && export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig &&
    { [ -f ffbuild/config.mak ] || lowprio "$(source_dir ffmpeg)/configure" --prefix="$PREFIX" \
      --target-os=mingw32 --arch=x86_64 --cross-prefix=$TRIPLE- --cc=$TRIPLE-gcc-posix --cxx=$TRIPLE-g++-posix \
      --pkg-config=pkg-config --pkg-config-flags=--static \
      --enable-shared --disable-static --enable-gpl --enable-libx264 --enable-zlib \
      --disable-autodetect --disable-doc --disable-ffplay --disable-debug --disable-network \
      --disable-everything \
      --enable-decoder="$FFMPEG_DECODERS" --enable-encoder="$FFMPEG_ENCODERS" --enable-filter="$FFMPEG_FILTERS" \
      --enable-demuxers --enable-muxers --enable-parsers --enable-bsfs --enable-protocol=file,pipe; } &&
    lowprio make -j "$JOBS" && make install)
}

build_mpv() {
  # libmpv alone, rendering through OpenGL into the program's own widget.
  # libass and its font libraries are static: pkg-config is asked for what
  # linking them needs (prefer_static).
  local src
  src=$(source_dir mpv)
  [ -f "$WORK/mpv/build.ninja" ] ||
    lowprio meson setup "$WORK/mpv" "$src" --cross-file "$(meson_cross_file)" \
    --prefix "$PREFIX" --libdir lib --buildtype release --default-library shared \
    --wrap-mode nodownload -Dprefer_static=true -Dauto_features=disabled \
    -Dlibmpv=true -Dcplayer=false -Dlua=disabled -Djavascript=disabled \
    -Dgl=enabled -Dgl-win32=enabled -Dwasapi=enabled -Dwin32-internal-pthreads=enabled \
    -Diconv=disabled -Dmanpage-build=disabled -Dhtml-build=disabled -Dpdf-build=disabled
  lowprio ninja -C "$WORK/mpv" -j "$JOBS" install
}

build_qt() {
  # Qt Core, Gui, Widgets, OpenGL and OpenGLWidgets with the Windows platform
  # plugin. The host's Qt tools (moc, rcc, uic) of the same version do the
  # build-time work.
  [ -f "$WORK/qt/CMakeCache.txt" ] ||
    lowprio cmake -G Ninja -S "$(source_dir qt)" -B "$WORK/qt" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCLIP_WINDOWS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DINPUT_opengl=desktop -DFEATURE_opengl_desktop=ON -DFEATURE_vulkan=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF \
    -DFEATURE_freetype=OFF -DFEATURE_fontconfig=OFF -DFEATURE_glib=OFF -DFEATURE_openssl=OFF \
    -DFEATURE_sql_sqlite=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF
  lowprio cmake --build "$WORK/qt" --parallel "$JOBS"
  lowprio cmake --install "$WORK/qt"
}

# A library's stamp: what it is made from. A change to any part rebuilds it
# and everything built on it.
library_stamp() {
  local lib=$1 dep pkg
  pkg=$(source_package "$lib")
  {
    echo "$pkg ${SOURCE_VERSION[$pkg]}"
    $TRIPLE-gcc-posix --version | head -1
    declare -f "build_$lib" meson_cross_file meson_static cross_env
    [ "$lib" != ffmpeg ] || echo "$FFMPEG_DECODERS $FFMPEG_ENCODERS $FFMPEG_FILTERS"
    [ "$lib" != qt ] || cat "$ROOT/cmake/mingw-w64-x86_64.cmake"
    for dep in ${BUILT_ON[$lib]:-}; do library_stamp "$dep"; done
  } | sha256sum | cut -c1-16
}

build_library() {
  local lib=$1 stamp start
  stamp=$(library_stamp "$lib")
  if [ "$(cat "$STAMPS/$lib" 2>/dev/null)" = "$stamp" ]; then
    log "prefix: $lib is up to date ($stamp)"
    return
  fi
  [ -d "$(source_dir "$lib")" ] || die "the sources of $lib are missing in $SRC: run $0 sources"
  # A build folder left by an interrupted run of the same recipe is resumed;
  # any other is started afresh.
  if [ "$(cat "$WORK/$lib.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "${WORK:?}/$lib"
    mkdir -p "$WORK" && echo "$stamp" > "$WORK/$lib.stamp"
    log "prefix: building $lib ($stamp)"
  else
    log "prefix: resuming $lib ($stamp) in $WORK/$lib"
  fi
  start=$(date +%s)
  rm -f "$STAMPS/$lib"
  "build_$lib"
  mkdir -p "$STAMPS"
  echo "$stamp" > "$STAMPS/$lib"
  # Wall-clock time depends on what else the machine runs; the CPU time the
  # builds used so far (children's user and system) does not.
  # `times` reports the shell it runs in: not inside $(...), whose subshell has used none.
  local cpu_file; cpu_file=$(mktemp)
  times > "$cpu_file"
  log "prefix: $lib took $(( ($(date +%s) - start) / 60 )) min; CPU time of the run so far (children): $(tail -1 "$cpu_file")"
  rm -f "$cpu_file"
}

step_prefix() {
  local lib
  for lib in "${LIBRARIES[@]}"; do build_library "$lib"; done
}

# --- Clipwright --------------------------------------------------------------

step_clipwright() {
  log "clipwright: building against $PREFIX"
  export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig PKG_CONFIG_PATH=
  lowprio cmake -G Ninja -S "$ROOT" -B "$CLIP_BUILD" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DCLIP_WINDOWS_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCLIP_BUILD_TESTS=OFF \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  lowprio cmake --build "$CLIP_BUILD" --parallel "$JOBS" --target clipwright
}

# --- the zip -----------------------------------------------------------------

# Where the DLLs that the program, the encoder and the Qt plugin import are
# looked for. What none of these folders holds must be one of Windows' own.
dll_folders() {
  echo "$PREFIX/bin"
  dirname "$($TRIPLE-g++-posix -print-file-name=libstdc++-6.dll)"
  echo "/usr/$TRIPLE/lib"
}
WINDOWS_DLLS='^(advapi32|avrt|bcrypt|comctl32|comdlg32|crypt32|d3d11|d3d9|dwmapi|dwrite|dxgi|gdi32|imm32|kernel32|mfplat|mfuuid|msvcrt|netapi32|ncrypt|ntdll|ole32|oleaut32|opengl32|psapi|secur32|setupapi|shcore|shell32|shlwapi|user32|userenv|uxtheme|version|winmm|winspool|ws2_32|wtsapi32|authz|mpr|strmiids|ksuser|propsys|uiautomationcore|api-ms-win-.*)\.dll$'

imported_dlls() { $TRIPLE-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }

# Copies into $2 every DLL that $1 needs, directly or through other DLLs.
copy_needed_dlls() {
  local file=$1 into=$2 dll folder found
  for dll in $(imported_dlls "$file"); do
    [ -e "$into/$dll" ] && continue
    found=
    for folder in $(dll_folders); do
      if [ -f "$folder/$dll" ]; then found=$folder/$dll; break; fi
    done
    if [ -z "$found" ]; then
      grep -qiE "$WINDOWS_DLLS" <<<"$dll" || die "$(basename "$file") needs $dll, which is neither built nor part of Windows"
      continue
    fi
    cp "$found" "$into/$dll"
    copy_needed_dlls "$into/$dll" "$into"
  done
}

step_zip() {
  local version stage name zip
  version=$(sed -n 's/^project(Clipwright VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
  name=clipwright-$version-windows-x64
  stage=$WORK/$name
  zip=$ROOT/dist/$name.zip
  [ -f "$CLIP_BUILD/bin/clipwright.exe" ] || die "no $CLIP_BUILD/bin/clipwright.exe: run $0 clipwright"
  log "zip: $zip"
  rm -rf "$stage" && mkdir -p "$stage/platforms"
  # The program reads its catalogues and help, and runs the encoder, from its
  # own folder; Qt finds its platform plugin in platforms/ beside it.
  cp "$CLIP_BUILD/bin/clipwright.exe" "$CLIP_BUILD/bin/ffmpeg.exe" "$CLIP_BUILD/bin/ffprobe.exe" "$stage/"
  cp "$ROOT/resources/presets.xml" "$ROOT/resources/codecs.xml" "$ROOT/resources/Help.html" "$stage/"
  cp "$PREFIX/plugins/platforms/qwindows.dll" "$stage/platforms/"
  local exe
  for exe in "$stage"/*.exe "$stage/platforms/qwindows.dll"; do copy_needed_dlls "$exe" "$stage"; done
  $TRIPLE-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/platforms/*.dll
  mkdir -p "$ROOT/dist"
  rm -f "$zip"
  (cd "$WORK" && zip -qr -9 "$zip" "$name")
  log "zip: $(du -h "$zip" | cut -f1), $(find "$stage" -type f | wc -l) files"
}

# -----------------------------------------------------------------------------

run_step() {
  case $1 in
    deps|sources|prefix|clipwright|zip) "step_$1" ;;
    fribidi|freetype|harfbuzz|libass|x264|ffmpeg|mpv|qt) build_library "$1" ;;
    *) die "unknown step '$1'" ;;
  esac
}

started=$(date +%s)
if [ $# -eq 0 ]; then set -- deps sources prefix clipwright zip; fi
for s in "$@"; do run_step "$s"; done
log "done in $(( ($(date +%s) - started) / 60 )) min; prefix: $(du -sh "$PREFIX" 2>/dev/null | cut -f1), cache: $(du -sh "$CACHE" | cut -f1)"
