#!/usr/bin/env bash
# The window's scale on a 4K screen: Xvfb at 3840 x 2160, which reports no DPI, and
# no sound server (the program runs silent, so the picture holds still). Without
# options the window opens at 3 times 640 x 480 or more; with the desktop at 200 %
# (Xft.dpi 192) at 2 times, the desktop's own scale; --scale 1 gives 640 x 480. At
# each, frozen with the right button held on the A4 row, the window must show
# exactly the picture a headless run of the same events draws, each pixel a whole
# block of the scale: sharp glyphs, and the pointer mapped back to the A4 row (its
# hover band, its lit key).
#
# usage: live_scale.sh SONAVEL PROBE FONT.tga
# Exit 0 pass, 1 fail, 77 skip (only when Xvfb cannot run here).
set -u

sonavel=$(realpath "$1") probe=$(realpath "$2") font=$(realpath -m "$3")
source "$(dirname "$0")/sound_servers.sh"  # for stop_pid
readonly kSkip=77
readonly kScreen=3840x2160
readonly kLeastAutomaticScale=3
# The lowest picture pixel of row 36 (A4): the one below picks G#4, and so does the last
# window pixel of its block under a mapping that rounds.
readonly kA4X=300 kA4Y=240
readonly kLitKeyX=620 kLitKeyY=237 kPickedKey=44CCFF  # the right strip's A4 key, lit while its tone is held

work=$(mktemp -d /tmp/sonavel-scale.XXXXXX)
started=()          # every process this script started, and only those
t_start=$(date +%s.%N)

say() { printf 'live_scale: %s\n' "$*"; }
source "$(dirname "$0")/live_script.sh"
trap cleanup EXIT

command -v Xvfb >/dev/null || skip "Xvfb is not installed"
for tool in xdotool xprop import sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh test installs it)"
done
start_display $kScreen  # a server without reset: the desktop's scale set on its root window stays
say "Xvfb $kScreen on $DISPLAY ($(elapsed) s)"
mkdir -p "$work/run"
[ -f "$font" ] && cp "$font" "$work/run/font.tga"
# No sound server answers here: the program says so once and runs as a viewer of silence.
export PULSE_SERVER=unix:$work/no-server

# The picture the window must show: the same events, headless, before any block is scored.
printf '%s\n' "0 key RETURN down" "1 key RETURN up" "1 move $kA4X $kA4Y" "2 button right down" >"$work/a4.events"
sox -n -r 44100 -c 1 -b 16 "$work/silence.wav" trim 0 0.05 || fail "sox cannot make the input"
(cd "$work/run" && "$sonavel" --headless "$work/silence.wav" --steps 4 --events "$work/a4.events" \
  --picture "$work/expected.png") </dev/null >"$work/headless.log" 2>&1 || fail "the headless picture: $(cat "$work/headless.log")"

# window_size: "WIDTH HEIGHT" of the window's client area.
window_size() {
  local geometry
  geometry=$(x xdotool getwindowgeometry --shell "$wid") || return 1
  echo "$(sed -n 's/^WIDTH=//p' <<<"$geometry") $(sed -n 's/^HEIGHT=//p' <<<"$geometry")"
}
shows_expected() {  # shows_expected SCALE: the window is the headless picture in SCALE x SCALE blocks
  x import -window "$wid" "png:$work/shot.png" 2>>"$work/import.log" &&
    "$probe" blocks "$work/shot.png" "$work/expected.png" "$1" >"$work/blocks.txt"
}

# desktop_scale: " (Xft.dpi N)" where the root window sets it.
desktop_scale() {
  local dpi
  dpi=$(x xprop -root RESOURCE_MANAGER 2>/dev/null | sed -n 's/.*Xft\.dpi: *\([0-9]*\).*/\1/p')
  [ -z "$dpi" ] || echo " (Xft.dpi $dpi)"
}

# check_at SCALE[+] ARGS...: sonavel started with ARGS opens at SCALE (or more, with
# the +) and shows the A4 pick there, block for block.
check_at() {
  local least=${1%+} exact=$1 size width height scale
  shift
  [ "$exact" = "$least" ] || exact=""
  start_sonavel "$@"
  # X reuses a closed client's window ids: the search can still meet the last run's window as it
  # goes. The window is looked for once more.
  size=$(window_size) || { sleep 0.5 && wait_for 10 window_up && size=$(window_size); } || fail "no window geometry"
  read -r width height <<<"$size"
  scale=$((width / 640))
  [ $((scale * 640)) -eq "$width" ] && [ $((scale * 480)) -eq "$height" ] ||
    fail "sonavel${*:+ $*} opened at ${width}x$height, no whole multiple of 640x480"
  [ "$scale" -ge "$least" ] && { [ -z "$exact" ] || [ "$scale" -eq "$exact" ]; } ||
    fail "sonavel${*:+ $*} opened at ${width}x$height, not at scale ${exact:-$least or more}"
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  sleep 0.5  # past the focus change the window library defers
  press Return || fail "xdotool cannot press Return"
  # The middle of the picture pixel's block, then its last window pixel: both are that pixel.
  x xdotool mousemove --window "$wid" $((kA4X * scale + scale / 2)) $((kA4Y * scale + scale / 2)) ||
    fail "xdotool cannot move the pointer"
  x xdotool mousemove --window "$wid" $((kA4X * scale + scale - 1)) $((kA4Y * scale + scale - 1))
  sleep 0.2
  x xdotool mousedown 3 || fail "xdotool cannot press the right button"
  wait_for 5 shows_expected "$scale" ||
    fail "at scale $scale the window is not the headless picture in blocks: $(cat "$work/blocks.txt" 2>/dev/null)"
  [ "$("$probe" pixel "$work/shot.png" $((kLitKeyX * scale)) $((kLitKeyY * scale)))" = $kPickedKey ] ||
    fail "at scale $scale the A4 key is not lit"
  x xdotool mouseup 3
  quit_cleanly
  say "sonavel${*:+ $*}$(desktop_scale) opened at ${width}x$height (scale $scale); the right button on A4 picks A4, each pixel a ${scale}x$scale block ($(elapsed) s)"
}

check_at $kLeastAutomaticScale+
x xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi: 192" || fail "xprop cannot set Xft.dpi"
check_at 2
x xprop -root -remove RESOURCE_MANAGER || fail "xprop cannot remove Xft.dpi"
check_at 1 --scale 1
say "PASS"
