#!/usr/bin/env bash
# sonavel.exe's window on a scaled Windows desktop, under Wine: LogPixels 144 and 192 (150 % and
# 200 %) on a 1920 x 1080 and a 3840 x 2160 Xvfb. For each, the Linux program is opened first on
# the same screen with Xft.dpi at the same value, and sonavel.exe must open at the very size it
# did (a whole multiple of 640 x 480). Frozen, with the right button held on the A4 row, the
# window must show exactly the picture a headless run of the same events draws, each pixel a
# whole block of the scale, A4's key lit (the pointer mapped back exactly), and the reference
# tone must come out at 440 Hz through Wine's PulseAudio driver.
#
#   live_scale.sh WINDOWS_BUILD LINUX_BUILD
# Exit 0 pass, 1 fail, 77 skip (Xvfb or PulseAudio cannot run here, or no Linux build).
set -u

build=$(realpath "$1") linux=$(realpath -m "$2")
route=pulseaudio
source "$(dirname "$0")/../e2e/sound_servers.sh"
readonly kSkip=77
readonly kScreens=(1920x1080 3840x2160) kDpis=(144 192)
readonly kA4Hz=440.0
# The lowest picture pixel of row 36 (A4): the one below picks G#4, and so does the last window
# pixel of its block under a mapping that rounds.
readonly kA4X=300 kA4Y=240
# A left click on the frozen grid puts the cursor on that column. Without it the cursor stands
# where the sound heard so far left it, which differs from run to run.
readonly kScrubX=160 kScrubY=400
readonly kLitKeyX=620 kLitKeyY=237 kPickedKey=44CCFF  # the right strip's A4 key, lit while its tone is held
readonly kToneHoldSeconds=2.5  # the probe measures from 0.5 s to 1.5 s past the tone's onset
readonly kCursorProbeY=100 kCursorHex=FFE000  # a frozen picture's cursor line

test_name=live_scale needed_tools="pactl parec xdotool xprop import convert sox" sonavel_env=""
source "$(dirname "$0")/wine_live.sh"
wine_sonavel=$sonavel
probe=$linux/tests/sonavel_probe
[ -x "$probe" ] && [ -x "$linux/sonavel" ] || skip "no Linux build's sonavel and sonavel_probe in $linux"

# The picture the window must show: the same events, headless, before any block is scored.
printf '%s\n' "0 key RETURN down" "1 key RETURN up" "1 move $kScrubX $kScrubY" "2 button left down" "3 button left up" \
  "3 move $kA4X $kA4Y" "4 button right down" >"$work/a4.events"
sox -n -r 44100 -c 1 -b 16 "$work/silence.wav" trim 0 0.05 || fail "sox cannot make the input"
(cd "$work/run" && "$linux/sonavel" --headless "$work/silence.wav" --steps 6 --events "$work/a4.events" \
  --picture "$work/expected.png") </dev/null >"$work/headless.log" 2>&1 || fail "the headless picture: $(cat "$work/headless.log")"

sound_server_start "$route" "$work/server"
case $? in
  0) ;;
  77) skip "$sound_server_why" ;;
  *) skip "$route cannot start on this machine: $sound_server_why" ;;
esac

linux_sonavel=$linux/sonavel

window_size() {  # "WIDTH HEIGHT" of the window's client area
  local geometry
  geometry=$(x xdotool getwindowgeometry --shell "$wid") || return 1
  echo "$(sed -n 's/^WIDTH=//p' <<<"$geometry") $(sed -n 's/^HEIGHT=//p' <<<"$geometry")"
}
size=""
opened_size() {  # sets size, once the window is up; X may still show a closed client's window first
  size=$(window_size) || { sleep 0.5 && wait_for 10 window_up && size=$(window_size); }
}
shows_expected() {  # shows_expected SCALE: the window is the headless picture in SCALE x SCALE blocks
  x import -window "$wid" "png:$work/shot.png" 2>>"$work/import.log" &&
    "$probe" blocks "$work/shot.png" "$work/expected.png" "$1" >"$work/blocks.txt"
}

frozen() {  # frozen SCALE: the window shows the cursor line of a frozen picture
  x import -window "$wid" "png:$work/freezing.png" 2>>"$work/import.log" &&
    convert "$work/freezing.png" -crop "$((640 * $1))x1+0+$((kCursorProbeY * $1))" +repage txt:- | grep -qi "#$kCursorHex"
}

# linux_size SCREEN DPI: sets size to the Linux program's window size on this screen with Xft.dpi at DPI.
linux_size() {
  x xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi: $2" || fail "xprop cannot set Xft.dpi"
  sonavel=$linux_sonavel
  start_sonavel
  opened_size || fail "no geometry for the Linux window on $1 at Xft.dpi $2"
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the Linux window"
  sleep 0.5  # past the focus change the window library defers
  quit_cleanly
  x xprop -root -remove RESOURCE_MANAGER || fail "xprop cannot remove Xft.dpi"
}

# check_wine SCREEN DPI WIDTH HEIGHT: sonavel.exe at LogPixels DPI opens at WIDTH x HEIGHT, shows
# the A4 pick in blocks of the scale and sounds A4.
check_wine() {
  local screen=$1 dpi=$2 want="$3 $4" width height scale onset frequency level
  wine reg.exe add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    fail "reg.exe cannot set LogPixels"
  parec --latency-msec=10 -d sonavel_out.monitor --rate=44100 --channels=1 --format=float32le "$work/out-$dpi.raw" \
    </dev/null >>"$work/parec.log" 2>&1 &
  started+=($!)
  local recorder=$!
  sonavel=$wine_sonavel
  start_sonavel
  opened_size || fail "no geometry for sonavel.exe's window on $screen at LogPixels $dpi"
  read -r width height <<<"$size"
  [ "$size" = "$want" ] ||
    fail "on $screen at LogPixels $dpi sonavel.exe opened at ${width}x$height, the Linux program at ${3}x$4"
  scale=$((width / 640))
  # Wine can lose a first key to a window just mapped, with no window manager to settle its focus:
  # Return is pressed again (focus taken again) until the freeze shows, by the cursor line a frozen
  # picture draws across the grid, before the pointer moves.
  local try
  for try in 1 2 3; do
    x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
    sleep 0.5
    press Return || fail "xdotool cannot press Return"
    wait_for 5 frozen "$scale" && break
    [ "$try" -lt 3 ] || fail "at LogPixels $dpi Return did not freeze the picture"
    say "at LogPixels $dpi Return did not arrive; once more"
  done
  x xdotool mousemove --window "$wid" $((kScrubX * scale)) $((kScrubY * scale)) && x xdotool click 1 ||
    fail "xdotool cannot click on the grid"
  sleep 0.2
  # The middle of the picture pixel's block, then its last window pixel: both are that pixel.
  x xdotool mousemove --window "$wid" $((kA4X * scale + scale / 2)) $((kA4Y * scale + scale / 2)) ||
    fail "xdotool cannot move the pointer"
  x xdotool mousemove --window "$wid" $((kA4X * scale + scale - 1)) $((kA4Y * scale + scale - 1))
  sleep 0.2
  x xdotool mousedown 3 || fail "xdotool cannot press the right button"
  wait_for 10 shows_expected "$scale" ||
    fail "at LogPixels $dpi the window is not the headless picture in ${scale}x$scale blocks: $(cat "$work/blocks.txt" 2>/dev/null)"
  [ "$("$probe" pixel "$work/shot.png" $((kLitKeyX * scale)) $((kLitKeyY * scale)))" = $kPickedKey ] ||
    fail "at LogPixels $dpi the A4 key is not lit"
  sleep $kToneHoldSeconds
  x xdotool mouseup 3
  sleep 0.5
  stop_pid "$recorder"
  read -r _ onset _ frequency _ level < <("$probe" tone "$work/out-$dpi.raw")
  awk -v f="${frequency:-0}" -v a=$kA4Hz 'BEGIN { exit !(f > a * 0.99 && f < a * 1.01) }' ||
    fail "at LogPixels $dpi the right button on A4 sounded ${frequency:-nothing} Hz"
  quit_cleanly
  say "$screen, LogPixels $dpi: sonavel.exe opened at ${width}x$height (scale $scale) as the Linux program at Xft.dpi $dpi; each pixel a ${scale}x$scale block, A4 picked and sounded at $frequency Hz ($(elapsed) s)"
}

for screen in "${kScreens[@]}"; do
  start_display "$screen"  # a server without reset: the desktop's scale set on its root window stays
  wine cmd.exe /c exit 0 >/dev/null 2>&1
  say "Xvfb $screen on $DISPLAY, Wine prefix ready ($(elapsed) s)"
  if [ "$screen" = "${kScreens[0]}" ]; then
    # The unit tests of a move to a monitor of another scale need real windows: Wine makes them here.
    (cd "$build/tests" && wine "$build/tests/test_platform.exe" --gtest_filter='MonitorScaleChange.*') \
      </dev/null >"$work/monitor_scale.log" 2>&1 || fail "test_platform's MonitorScaleChange: $(grep -a -A3 'Failure' "$work/monitor_scale.log" | head -n 12)"
    grep -aq 'SKIPPED' "$work/monitor_scale.log" && fail "test_platform's MonitorScaleChange skipped on Xvfb"
    say "a move to a monitor of another scale: $(grep -a '^\[  PASSED  \]' "$work/monitor_scale.log" | tr -d '\r') ($(elapsed) s)"
  fi
  for dpi in "${kDpis[@]}"; do
    linux_size "$screen" "$dpi"
    check_wine "$screen" "$dpi" $size
  done
  stop_wine
  stop_pid "$xvfb_pid"
done
say "PASS in $(elapsed) s"
