#!/usr/bin/env bash
# sonavel.exe under Wine with a private PulseAudio mixing at 48000 Hz, then at 44100 Hz (its
# default rate and its null sinks at that rate, so Wine's WASAPI mixes there): the audio report
# must say WASAPI shared at that rate, a 440 Hz sine into the input must light A4, and the
# reference tone held on A4 for 60 s in the frozen window must come out at 440 Hz +-0.5 Hz. Its
# gaps (32 or more samples of silence, or a break in its phase: tools/soak_analyse.py) are counted
# and said, not judged: on a machine running other tests beside this one they measure the load,
# which tools/soak.sh measures on purpose. Then
# --exclusive at 48000 Hz: either WASAPI exclusive with its latency in the report, or one line
# saying it was refused and the report saying shared; A4 lit either way. Last, a file played at
# 48000 Hz: WASAPI shared, converted in the program, heard at 440 Hz.
#
#   live_rates.sh WINDOWS_BUILD PROBE   (PROBE: the Linux build's tests/sonavel_probe)
# Exit 0 pass, 1 fail, 77 skip (Xvfb or PulseAudio cannot run here, or no Linux build's probe).
set -u

build=$(realpath "$1") probe=$2
route=pulseaudio
source "$(dirname "$0")/../e2e/sound_servers.sh"
readonly kSkip=77
readonly kA4Hz=440.0 kSineLevel=0.03 kMostOff=0.5
readonly kA4CellX=608 kA4CellY=237 kDarkBelow=112  # the newest column of row 36 (A4), lit
readonly kHoldSeconds=60
readonly kPictureWidth=640 kCursorProbeY=100 kCursorHex=FFE000
analyse=$(realpath "$(dirname "$0")/../../tools/soak_analyse.py")

test_name=live_rates needed_tools="pactl parec paplay xdotool import convert sox" sonavel_env=SONAVEL_AUDIO_REPORT=1
source "$(dirname "$0")/wine_live.sh"
[ -x "$probe" ] || skip "no Linux build's sonavel_probe at $probe"
start_display
sox -n -r 44100 -c 1 -b 16 "$work/a4.wav" synth 300 sine $kA4Hz vol $kSineLevel || fail "sox cannot make the tone"

# server_at RATE: a new PulseAudio whose default rate and null sinks are RATE; the last one stopped.
server=""
server_at() {
  [ -z "$server" ] || { stop_wine; stop_pid "$server"; }
  local dir=$work/server-$1
  for conf in "$XDG_CONFIG_HOME/pulse" "$dir/pulse-home/.config/pulse"; do
    mkdir -p "$conf" && printf 'default-sample-rate = %s\nalternate-sample-rate = %s\n' "$1" "$1" >"$conf/daemon.conf"
  done
  local first=${#started[@]}
  sound_server_rate=$1 sound_server_start pulseaudio "$dir"
  case $? in
    0) ;;
    77) skip "$sound_server_why" ;;
    *) skip "PulseAudio cannot start on this machine: $sound_server_why" ;;
  esac
  server=${started[first]}
  # The prefix is made once, with the display and a sound server in reach.
  [ -d "$WINEPREFIX" ] || wine cmd.exe /c exit 0 >/dev/null 2>&1
}

shot() { x import -window "$wid" "png:$1" 2>>"$work/import.log"; }
a4_dark() {
  shot "$work/shot.png" || return 1
  local hex
  hex=$("$probe" pixel "$work/shot.png" $kA4CellX $kA4CellY) || return 1
  [ $((16#${hex:0:2})) -lt $kDarkBelow ]
}
cursor_shown() {
  shot "$work/freezing.png" || return 1
  convert "$work/freezing.png" -crop "${kPictureWidth}x1+0+$kCursorProbeY" +repage txt:- | grep -qi "#$kCursorHex"
}
# What the program said, read once it has ended (Wine hands its stderr over at the end).
opened_line() { grep -a -m1 '^sonavel: audio: .* on Windows WASAPI' "$work/sonavel-$1.log" | tr -d '\r'; }
exited() { ! kill -0 "$sonavel_pid"; }
end_sonavel() {
  press Escape || fail "xdotool cannot press Escape"
  wait_for 30 exited || fail "sonavel.exe did not exit after Escape"
  wait "$sonavel_pid"
  local status=$?
  [ "$status" -eq 0 ] || fail "sonavel.exe exited with status $status"
  cp "$work/sonavel.log" "$work/sonavel-$1.log"
}

# live_at RATE ARGS...: the window up on the tone, A4 lit; says the report's first line.
live_at() {
  local rate=$1; shift
  server_at "$rate"
  paplay -d sonavel_in "$work/a4.wav" </dev/null >"$work/paplay.log" 2>&1 &
  started+=($!)
  paplay_pid=$!
  start_sonavel "$@"
  wait_for 60 a4_dark || fail "at $rate Hz the A4 row is not dark at the right edge of the grid"
  say "at $rate Hz, A4 lit ($(elapsed) s)"
}

# hold_tone RATE: the reference tone held on A4 in the frozen window, judged.
hold_tone() {
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  press Return || fail "xdotool cannot press Return"
  wait_for 10 cursor_shown || fail "Return did not freeze the picture"
  stop_pid "$paplay_pid"
  record sonavel_out.monitor "$work/out-$1.raw"
  local recorder=${started[-1]}
  x xdotool mousemove --window "$wid" 300 $kA4CellY && x xdotool mousedown 3 || fail "xdotool cannot hold A4"
  sleep $kHoldSeconds
  x xdotool mouseup 3
  sleep 0.5
  stop_pid "$recorder"
  end_sonavel "$1"
  /usr/bin/python3 "$analyse" run "$work/out-$1.raw" "$work/sonavel-$1.log" /dev/null >"$work/judged-$1.json" ||
    fail "soak_analyse.py cannot judge the recording"
  read -r seconds frequency gaps < <(/usr/bin/python3 -c 'import json, sys
r = json.load(open(sys.argv[1]))
print(r["tone_seconds"], r.get("frequency", 0), len(r["gaps"]) + len(r["breaks"]))' "$work/judged-$1.json")
  say "at $1 Hz: $seconds s of tone at $frequency Hz, $gaps gaps; $(grep -a 'rate conversion' "$work/sonavel-$1.log" | tr -d '\r')"
  awk -v s="$seconds" -v h=$kHoldSeconds 'BEGIN { exit !(s > h - 5) }' || faults+=("at $1 Hz only $seconds s of tone")
  awk -v f="$frequency" -v a=$kA4Hz -v d=$kMostOff 'BEGIN { exit !(f > a - d && f < a + d) }' ||
    faults+=("at $1 Hz the reference tone is at $frequency Hz")
}

faults=()  # said together at the end, so that one run measures every rate
for rate in ${LIVE_RATES:-48000 44100}; do  # LIVE_RATES: fewer, while looking into one
  live_at $rate
  hold_tone $rate
  say "at $rate Hz: $(opened_line $rate)"
  opened_line $rate | grep -q "WASAPI shared at $rate Hz" || faults+=("at $rate Hz the report says: $(opened_line $rate)")
done

# --exclusive: held alone with its latency reported, or refused in one line with shared mode used.
live_at 48000 --exclusive
end_sonavel exclusive
if opened_line exclusive | grep -q 'WASAPI exclusive at \(44100\|48000\) Hz.*input latency [0-9.]* ms, output latency [0-9.]* ms'; then
  say "--exclusive opened: $(opened_line exclusive)"
else
  refusal=$(grep -a '^sonavel: exclusive mode refused' "$work/sonavel-exclusive.log" | tr -d '\r')
  [ "$(grep -c . <<<"$refusal")" -eq 1 ] || fail "--exclusive neither opened nor was refused in one line"
  opened_line exclusive | grep -q 'WASAPI shared at 48000 Hz' || fail "after the refusal the report says: $(opened_line exclusive)"
  say "--exclusive refused: $refusal"
fi
others=$(grep -a '^sonavel: ' "$work/sonavel-exclusive.log" | grep -av -e '^sonavel: \(audio\|loop\):' -e 'exclusive mode refused' || true)
[ -z "$others" ] || fail "sonavel.exe said: $others"
# A file, with the device at 48000 Hz: WASAPI shared, converted from 44100 Hz in the program, A4
# lit and the file heard at 440 Hz.
sox -n -r 44100 -c 1 -b 16 "$work/run/a4-file.wav" synth 30 sine $kA4Hz vol 0.25 || fail "sox cannot make the file"
server_at 48000
record sonavel_out.monitor "$work/out-file.raw"
file_recorder=${started[-1]}
start_sonavel a4-file.wav
wait_for 60 a4_dark || fail "the file at 48000 Hz does not light A4"
sleep 5
stop_pid "$file_recorder"
end_sonavel file
file_line=$(grep -a -m1 "^sonavel: audio: the file's output on" "$work/sonavel-file.log" | tr -d '\r')
say "the file at 48000 Hz: $file_line"
grep -q "on Windows WASAPI shared at 48000 Hz (converted from 44100 Hz)" <<<"$file_line" ||
  faults+=("the file at 48000 Hz: the report says: ${file_line:-nothing}")
/usr/bin/python3 "$analyse" run "$work/out-file.raw" "$work/sonavel-file.log" /dev/null >"$work/judged-file.json" ||
  fail "soak_analyse.py cannot judge the file's recording"
read -r seconds frequency < <(/usr/bin/python3 -c 'import json, sys
r = json.load(open(sys.argv[1]))
print(r["tone_seconds"], r.get("frequency", 0))' "$work/judged-file.json")
say "the file at 48000 Hz: $seconds s heard at $frequency Hz"
awk -v s="$seconds" -v f="$frequency" -v a=$kA4Hz -v d=$kMostOff 'BEGIN { exit !(s > 3 && f > a - d && f < a + d) }' ||
  faults+=("the file at 48000 Hz: $seconds s heard at $frequency Hz")

for fault in "${faults[@]}"; do say "FAIL: $fault"; done
[ ${#faults[@]} -eq 0 ] || exit 1
say "PASS in $(elapsed) s"
