#!/usr/bin/env bash
# The installed program: installs the build into a temporary prefix, checks
# the desktop files, and runs the installed program under the offscreen
# platform with a video as its argument (through the CLIPWRIGHT_SELF_CHECK
# developer hook, which prints what it loaded and cuts the first second).
# Usage: installed_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$1
VERSION=$2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

PREFIX="$TMP/prefix"
cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null
APP="$PREFIX/bin/clipwright"
SHARE="$PREFIX/share"
for f in bin/clipwright share/clipwright/presets.xml share/clipwright/codecs.xml share/clipwright/Help.html \
         share/icons/hicolor/scalable/apps/clipwright.svg share/man/man1/clipwright.1.gz \
         share/doc/clipwright/copyright share/doc/clipwright/changelog.gz; do
  [ -f "$PREFIX/$f" ] || fail "$f was not installed"
done
# Nothing but the program goes into bin/ (no encoder link, no tests).
[ "$(ls "$PREFIX/bin")" = clipwright ] || fail "bin/ holds more than the program: $(ls "$PREFIX/bin")"
for size in 48 128 256; do
  png="$SHARE/icons/hicolor/${size}x${size}/apps/clipwright.png"
  [ -f "$png" ] || fail "no ${size} px icon"
  # Width and height from the PNG header.
  read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [ "$w $h" = "$size $size" ] || fail "${size} px icon is ${w}x${h}"
done
# The manual page names the version it documents.
gzip -dc "$SHARE/man/man1/clipwright.1.gz" | grep -q "Clipwright $VERSION" || fail "the manual page is not for $VERSION"
desktop-file-validate "$SHARE/applications/org.example.clipwright.desktop"
appstreamcli validate --no-net "$SHARE/metainfo/org.example.clipwright.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$SHARE/metainfo/org.example.clipwright.metainfo.xml"

# Only the system's encoder on the PATH: the build folder's link must not help.
export PATH=/usr/bin:/bin HOME="$TMP/home" XDG_CONFIG_HOME="$TMP/config" XDG_DATA_HOME="$TMP/data"
export QT_QPA_PLATFORM=offscreen
[ "$("$APP" --version)" = "Clipwright $VERSION" ] || fail "--version printed '$("$APP" --version)'"
"$APP" --help | grep -q '^Usage: clipwright \[options\] \[VIDEO\]' || fail "--help printed no usage"
if "$APP" --no-such-option 2>/dev/null; then fail "an unknown option was accepted"; fi
# The windowless command answers with no display and without the window's libraries.
[ -x "$PREFIX/libexec/clipwright/clipwright-window" ] || fail "the window's program was not installed"
readelf -d "$APP" | grep -q 'NEEDED.*libQt6Widgets' && fail "the program's entry loads the widget library"
presets=$(env -u QT_QPA_PLATFORM DISPLAY= "$APP" presets)
grep -qP '^General Video\tH\.264 \(AVC\) - High Quality\tmp4$' <<<"$presets" || fail "presets printed: $presets"
[ "$(grep -c "$(printf '\t')" <<<"$presets")" = "$(wc -l <<<"$presets")" ] || fail "a preset line without its fields"

mkdir -p "$TMP/my clips" "$TMP/home"
ffmpeg -v error -f lavfi -i testsrc=d=3:s=160x120:r=10 -f lavfi -i sine=d=3 -shortest "$TMP/my clips/party.mp4"
echo "not a video" > "$TMP/my clips/notes.txt"
echo "not a video" > "$TMP/my clips/broken.mp4"

# run ARG OUTPUT_FOLDER: the self-check's report, from another working folder.
run() { (cd "$TMP" && CLIPWRIGHT_SELF_CHECK="$2" timeout 120 "$APP" "$1" 2>/dev/null); }

report=$(run "my clips/party.mp4" "$TMP/out")
echo "$report"
grep -Eq '^presets: [1-9]' <<<"$report" || fail "no presets loaded"
grep -Eq '^codecs: [1-9]' <<<"$report" || fail "no codecs loaded"
grep -qx "encoder: $(command -v ffmpeg)" <<<"$report" || fail "the encoder was not found on the PATH"
grep -qx 'time: 00:00:00/00:00:03' <<<"$report" || fail "the video's duration is not shown"
! grep -q '^message:' <<<"$report" || fail "a message was shown"
cut=$(sed -n 's/^cut: //p' <<<"$report")
[ "$(wc -l <<<"$cut")" = 1 ] && [ -s "$cut" ] || fail "not one cut file: '$cut'"
errors=$(ffmpeg -v error -i "$cut" -f null - 2>&1)
[ -z "$errors" ] || fail "the cut does not decode: $errors"
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$cut")
awk -v d="$length" 'BEGIN { exit !(d > 0.5 && d < 1.5) }' || fail "the cut lasts $length s"

# What a drop would refuse, and a file the encoder cannot read: the message.
for bad in notes.txt broken.mp4 missing.mp4; do
  report=$(run "my clips/$bad" "$TMP/out-$bad")
  grep -qx 'message: File is not supported' <<<"$report" || fail "$bad: no message in: $report"
  ! grep -q '^time: 00:00:00/' <<<"$report" || fail "$bad: a video was loaded"
done
echo "installed program: all checks passed"
