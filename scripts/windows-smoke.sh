#!/usr/bin/env bash
# Smoke test of the Windows package under wine, on a virtual display. Not
# part of ./test.sh (it starts wine several times and takes minutes).
#
#   scripts/windows-smoke.sh [ZIP]   # default: the newest dist/clipwright-*-windows-x64.zip
#
# Unpacks the zip into a fresh wine prefix, then
#   1. asks the program for its version (it must start at all: every DLL found);
#   2. starts it with a generated clip on its command line, saves a screenshot
#      of the window, and closes it the way Windows' task manager does (a close
#      request to its window), after which its settings must be in wine's
#      registry;
#   3. runs it with the self-check hook: it loads the clip, cuts its first
#      second through the window's own buttons with the packaged encoder, and
#      the cut must decode and last about a second;
#   4. runs "cut" on a segment list: two segments smart-cut and joined, which
#      needs every step of the smart cut (its check too) from the packaged
#      encoder; the joined file must hold exactly the listed frames.
# The screenshot and the logs are kept in $CLIP_SMOKE_OUT (default
# build-windows/smoke).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
ZIP=${1:-$(ls -t "$ROOT"/dist/clipwright-*-windows-x64.zip 2>/dev/null | head -1)}
[ -n "$ZIP" ] && [ -f "$ZIP" ] || { echo "windows-smoke: no package; run scripts/build-windows.sh first" >&2; exit 2; }
OUT=${CLIP_SMOKE_OUT:-$ROOT/build-windows/smoke}
mkdir -p "$OUT"
rm -f "$OUT"/*.png "$OUT"/*.log

TMP=$(mktemp -d)
XVFB_PID=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$TMP"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { printf '\n== %s  %s\n' "$(date +%H:%M:%S)" "$*"; }

# A wine of its own: no Mono or Gecko installer prompts, no debug noise.
export WINEPREFIX=$TMP/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A free display number for the virtual screen.
display=99
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$OUT/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$display"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.2; done
[ -e "/tmp/.X11-unix/X$display" ] || fail "the virtual display did not start"

step "unpacking $(basename "$ZIP")"
unzip -q "$ZIP" -d "$TMP/app"
APP=$(ls "$TMP"/app/*/clipwright.exe)
APPDIR=$(dirname "$APP")
ls "$APPDIR" "$APPDIR/platforms" >"$OUT/contents.log"

step "preparing the wine prefix"
wineboot -i >"$OUT/wineboot.log" 2>&1
wineserver -w

winpath() { winepath -w "$1" 2>/dev/null; }
unixpath() { winepath -u "$1" 2>/dev/null; }

mkdir -p "$TMP/my clips"
CLIP="$TMP/my clips/party.mp4"
ffmpeg -v error -f lavfi -i testsrc=d=3:s=320x240:r=10 -f lavfi -i sine=d=3 -shortest \
  -c:v libx264 -pix_fmt yuv420p -c:a aac "$CLIP"

step "1. the program starts and answers --version"
version=$(timeout 120 wine "$APP" --version 2>"$OUT/version.log" | tr -d '\r') || true
echo "$version"
[[ "$version" =~ ^Clipwright\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed '$version' (see $OUT/version.log)"

step "2. the window, with the clip opened from the command line"
wine "$APP" "$(winpath "$CLIP")" >"$OUT/window.log" 2>&1 &
app_pid=$!
# The window is up once the screen is no longer one colour.
shot=$OUT/window.png
for _ in $(seq 60); do
  sleep 2
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended on its own (see $OUT/window.log)"
  ffmpeg -v error -y -f x11grab -video_size 1280x900 -i "$DISPLAY" -frames:v 1 "$shot"
  colours=$(ffmpeg -v error -i "$shot" -vf "scale=64:36,format=gray" -f rawvideo - | od -An -v -tu1 | tr -s ' ' '\n' | sort -u | wc -l)
  [ "$colours" -gt 8 ] && break
done
[ "$colours" -gt 8 ] || fail "nothing was drawn on the screen in two minutes"
sleep 5  # the preview's first frame
ffmpeg -v error -y -f x11grab -video_size 1280x900 -i "$DISPLAY" -frames:v 1 "$shot"
echo "screenshot: $shot"
# A close request to the window, as the task manager sends it: the program
# saves its settings and ends.
wine taskkill /im clipwright.exe >>"$OUT/window.log" 2>&1 || true
for _ in $(seq 60); do kill -0 "$app_pid" 2>/dev/null || break; sleep 1; done
! kill -0 "$app_pid" 2>/dev/null || fail "the program did not end after a close request"
wineserver -w
settings=
for hive in 'HKLM' 'HKCU'; do
  if out=$(wine reg query "$hive\\Software\\Norvane Clipwright\\Settings" 2>/dev/null | tr -d '\r') && grep -q REG_ <<<"$out"; then
    settings="$hive: $out"
    break
  fi
done
echo "$settings" | tee "$OUT/registry.log"
grep -q REG_SZ <<<"$settings" || fail "no settings in wine's registry after the close"

step "3. a cut through the self-check hook"
mkdir -p "$TMP/out"
report=$(CLIPWRIGHT_SELF_CHECK=$(winpath "$TMP/out") timeout 300 wine "$APP" "$(winpath "$CLIP")" 2>"$OUT/selfcheck.log" | tr -d '\r') || true
echo "$report" | tee "$OUT/report.log"
grep -Eq '^presets: [1-9]' <<<"$report" || fail "no presets loaded"
grep -Eq '^codecs: [1-9]' <<<"$report" || fail "no codecs loaded"
grep -Eiq '^encoder: .*[\\/]ffmpeg\.exe$' <<<"$report" || fail "the packaged encoder was not found"
grep -qx 'time: 00:00:00/00:00:03' <<<"$report" || fail "the clip's duration is not shown"
! grep -q '^message:' <<<"$report" || fail "a message was shown"
cut=$(sed -n 's/^cut: //p' <<<"$report")
[ -n "$cut" ] && [ "$(wc -l <<<"$cut")" = 1 ] || fail "not one cut file: '$cut'"
cut=$(unixpath "$cut")
[ -s "$cut" ] || fail "the cut file '$cut' is empty or missing"
errors=$(ffmpeg -v error -i "$cut" -f null - 2>&1)
[ -z "$errors" ] || fail "the cut does not decode: $errors"
length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$cut")
awk -v d="$length" 'BEGIN { exit !(d > 0.5 && d < 1.5) }' || fail "the cut lasts $length s"
echo "cut: $(basename "$cut"), $length s"

step "4. a joined smart cut of a segment list from the command line"
printf 'start,end,label\n0.5,1.2,One\n2,2.8,"Two, last"\n' >"$TMP/my clips/list.csv"
json=$(cd "$TMP/my clips" && timeout 300 wine "$APP" cut --smart --join --segments list.csv --json party.mp4 2>"$OUT/segments.log" | tr -d '\r') || true
echo "$json" | tee -a "$OUT/segments.log"
grep -q '"outcome":"succeeded"' <<<"$json" || fail "the joined smart cut failed (see $OUT/segments.log)"
joined="$TMP/my clips/party_Converted.mp4"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$joined")
[ "$frames" = 15 ] || fail "the joined file holds $frames frames, not 7 + 8"
echo "joined: $(basename "$joined"), $frames frames"

echo
echo "windows smoke test: all checks passed"
