#!/usr/bin/env bash
# Each theme live: Xvfb and a private PulseAudio (sound_servers.sh), a 440 Hz sine in
# the input sink, sonavel started with no --theme, then --theme dark and --theme
# contrast. Each window must show its theme's background and the A4 row lit at the
# right edge as its theme draws it: dark in the design's colours, bright in the dark
# theme, bright and split by a black line through its middle in the contrast theme.
#
# usage: live_theme.sh SONAVEL PROBE FONT.tga
# Exit 0 pass, 1 fail, 77 skip (only when Xvfb or the sound server cannot run here).
set -u

sonavel=$(realpath "$1") probe=$(realpath "$2") font=$(realpath -m "$3")
route=pulseaudio
source "$(dirname "$0")/sound_servers.sh"
readonly kSkip=77
readonly kSineLevel=0.03                     # where A4 alone lights (see the headless suite)
readonly kA4CellX=608                        # newest display column
readonly kA4TopY=235 kA4MarkY=237            # row 36 (A4): its first pixel row, and its middle one
readonly kMarginX=2 kMarginY=100             # left of the grid: the background
readonly kDarkBelow=112 kBrightAbove=192     # red component of a cell lit above half the full score

work=$(mktemp -d /tmp/sonavel-theme.XXXXXX)
started=()          # every process this script started, and only those
t_start=$(date +%s.%N)

say() { printf 'live_theme: %s\n' "$*"; }
source "$(dirname "$0")/live_script.sh"
trap cleanup EXIT

command -v Xvfb >/dev/null || skip "Xvfb is not installed: this machine cannot run the real stack"
for tool in paplay xdotool import sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test installs it)"
done
start_display_and_server
say "Xvfb on $DISPLAY, $route ready ($(elapsed) s)"

sox -n -r 44100 -c 1 -b 16 "$work/a4.wav" synth 120 sine 440 vol $kSineLevel || fail "sox cannot make the tone"
paplay -d sonavel_in "$work/a4.wav" </dev/null >"$work/paplay.log" 2>&1 &
started+=($!)
mkdir -p "$work/run"
[ -f "$font" ] && cp "$font" "$work/run/font.tga"

red_at() {  # red_at X Y: the red component of a pixel of the last shot
  local hex
  hex=$("$probe" pixel "$work/shot.png" "$1" "$2") || return 1
  echo $((16#${hex:0:2}))
}
# lit THEME BACKGROUND: the last shot shows BACKGROUND beside the grid and A4 lit as THEME draws it.
lit() {
  window_up || return 1  # the id found first can belong to a window SDL replaced
  x import -window "$wid" "png:$work/shot.png" 2>>"$work/import.log" || return 1
  [ "$("$probe" pixel "$work/shot.png" $kMarginX $kMarginY)" = "$2" ] || return 1
  local top middle
  top=$(red_at $kA4CellX $kA4TopY) && middle=$(red_at $kA4CellX $kA4MarkY) || return 1
  case $1 in
    design) [ "$middle" -lt $kDarkBelow ] ;;
    dark) [ "$top" -gt $kBrightAbove ] && [ "$middle" -gt $kBrightAbove ] ;;
    contrast) [ "$top" -gt $kBrightAbove ] && [ "$("$probe" pixel "$work/shot.png" $kA4CellX $kA4MarkY)" = 000000 ] ;;
  esac
}

# check THEME BACKGROUND ARGS...: sonavel started with ARGS shows THEME, then quits cleanly.
check() {
  local theme=$1 background=$2
  shift 2
  start_sonavel --scale 1 "$@"
  wait_for 30 lit "$theme" "$background" ||
    fail "sonavel $* does not show A4 lit in the $theme theme (margin $("$probe" pixel "$work/shot.png" $kMarginX $kMarginY 2>/dev/null), A4 $("$probe" pixel "$work/shot.png" $kA4CellX $kA4TopY 2>/dev/null)/$("$probe" pixel "$work/shot.png" $kA4CellX $kA4MarkY 2>/dev/null))"
  cp "$work/shot.png" "$work/$theme.png"
  quit_cleanly
  say "sonavel${*:+ $*}: the $theme theme, A4 lit at the right edge ($(elapsed) s)"
}

check design C0C0D0
check dark 1C1C22 --theme dark
check contrast 000000 --theme contrast
say "PASS"
