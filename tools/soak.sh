#!/usr/bin/env bash
# The reference tone held under load, as a user on a busy machine hears it: the
# window on Xvfb and a private sound server (tests/e2e/sound_servers.sh), frozen,
# the right button held on A4 while busy loops load the cores, the output sink
# recorded. Each run is judged by tools/soak_analyse.py: gaps in the tone (runs of
# 32 or more samples of silence, and breaks in its phase), the relay's least fill
# and how punctually the capture and playback callbacks came (the program's audio
# report, SONAVEL_AUDIO_REPORT=1), and key to picture before the hold. A stall probe
# beside it says which gaps came while the whole machine stood still (soak_analyse.py).
# A summary over all runs follows, with gaps per hour of tone.
#
# usage: tools/soak.sh [--route pulseaudio|pipewire-pulse|pipewire-alsa] [--runs N]
#                      [--seconds S] [--loops N] [--no-realtime] [--control] [--out DIR]
#                      [--keep-audio] [BUILD]
# Defaults: PulseAudio, 1 run, 87 s held, 2 busy loops for 60 s of it (starting
# 10 s in), BUILD=build, the results in a new folder under /tmp (said at the end).
# Each run notes how many of the program's threads got real-time scheduling, which it asks
# for by default; --no-realtime runs it with SONAVEL_AUDIO_REALTIME=0, for comparison.
# --control plays the same tone with the server's own client (pacat, a 440 Hz sine
# at the latency the program's playback stream asks for) instead of the program,
# recorded and judged alike: the gaps the sound server makes by itself under the load.
# Exit 0 when every run was made (whatever it found), 1 when a run failed, 77 when
# this machine cannot run Xvfb or the sound server.
set -u

here=$(cd "$(dirname "$0")" && pwd)
route=pulseaudio runs=1 hold=87 loops=2 load_seconds=60 load_start=10 out="" keep_audio=0 build=build realtime=1
control=0
while [ $# -gt 0 ]; do
  case "$1" in
    --route) route=$2; shift ;;
    --runs) runs=$2; shift ;;
    --seconds) hold=$2; shift ;;
    --loops) loops=$2; shift ;;
    --out) out=$2; shift ;;
    --keep-audio) keep_audio=1 ;;
    --no-realtime) realtime=0 ;;
    --control) control=1 ;;
    --one) one=$2; shift ;;  # one run into the folder given, for the loop below
    -h | --help) sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "soak: unknown option $1" >&2; exit 2 ;;
    *) build=$1 ;;
  esac
  shift
done
case "$route" in pulseaudio | pipewire-pulse | pipewire-alsa) ;; *) echo "soak: unknown route $route" >&2; exit 2 ;; esac
[ "$load_seconds" -le "$hold" ] || load_seconds=$hold
[ $((load_start + load_seconds)) -le "$hold" ] || load_start=$((hold - load_seconds))

# ---------------------------------------------------------------- one run
if [ -n "${one:-}" ]; then
  sonavel=$(realpath "$build/sonavel") font=$(realpath -m "$build/font.tga")
  keylag=$(realpath -m "$build/tests/sonavel_keylag")
  readonly kSkip=77
  readonly kA4RowY=237 kHoldX=300  # row 36, A4, in the default window
  source "$here/../tests/e2e/sound_servers.sh"
  work=$(mktemp -d /tmp/sonavel-soak.XXXXXX)
  started=()
  t_start=$(date +%s.%N)
  say() { printf 'soak: %s\n' "$*"; }
  source "$here/../tests/e2e/live_script.sh"
  keep() {
    cp "$work"/sonavel.log "$one/" 2>/dev/null
    [ "$keep_audio" = 0 ] || cp "$work/out.raw" "$one/" 2>/dev/null
  }
  trap 'keep; cleanup' EXIT
  # The stall probe (soak_analyse.py), above the audio threads' priority where the system allows it;
  # the findings then say which gaps came while the whole machine stood still.
  probe_args=()
  stall_probe() {
    chrt -f 50 true 2>/dev/null || { say "no real-time priority for the stall probe: gaps not set against stalls"; return; }
    chrt -f 50 /usr/bin/python3 "$here/soak_analyse.py" probe "$one/stalls.txt" $((hold + 10)) &
    started+=($!)
    probe_args=("$one/stalls.txt" "$one/held-at")
  }
  load() {  # the busy loops, on the schedule of a run
    sleep "$load_start"
    busy=()
    for _ in $(seq "$loops"); do
      bash -c 'while :; do :; done' &
      started+=($!) busy+=($!)
    done
    sleep "$load_seconds"
    for pid in "${busy[@]}"; do stop_pid "$pid"; done
    sleep $((hold - load_start - load_seconds))
  }
  control_run() {
    /usr/bin/python3 -c "import math, struct, sys
rate, n = 44100, 44100 * ($hold + 1)
step = 2 * math.pi * 440 / rate
sys.stdout.buffer.write(b''.join(struct.pack('<f', 0.25 * math.sin(step * i)) for i in range(n)))" >"$work/tone.raw"
    : >"$work/sonavel.log"
    pacat --latency-msec=70 -d sonavel_out --rate=44100 --channels=1 --format=float32le "$work/tone.raw" \
      </dev/null >"$work/pacat.log" 2>&1 &
    started+=($!)
    local player=$!
    stall_probe
    date +%s.%N >"$one/held-at"
    load
    stop_pid "$player"
    sleep 0.5
    stop_pid "$recorder"
    /usr/bin/python3 "$here/soak_analyse.py" run "$work/out.raw" "$work/sonavel.log" /dev/null "${probe_args[@]}" \
      >"$one/result.json" || fail "cannot analyse the recording"
  }
  mkdir -p "$one"
  [ -x "$sonavel" ] || fail "no sonavel binary at $sonavel"
  command -v Xvfb >/dev/null || skip "Xvfb is not installed"
  start_display_and_server
  # A recorder that reads every 10 ms makes PipeWire run its whole graph in 256-frame (5.8 ms)
  # cycles, and a loaded machine then misses some: the holes are the recorder's doing, and the
  # server's own client gets them too. Read every 100 ms, the graph runs at what the program asks.
  record_ms=100
  record sonavel_out.monitor "$work/out.raw"
  recorder=${started[-1]}
  make_sinks_prompt
  if [ "$control" = 1 ]; then
    control_run
    exit 0
  fi
  mkdir -p "$work/run"
  [ -f "$font" ] && cp "$font" "$work/run/font.tga"
  if [ "$realtime" = 1 ]; then unset SONAVEL_AUDIO_REALTIME; else export SONAVEL_AUDIO_REALTIME=0; fi
  SONAVEL_AUDIO_REPORT=1 start_sonavel
  sleep 0.5
  ps -L -o cls= -p "$sonavel_pid" | grep -c -E 'FF|RR' >"$one/realtime-threads"
  # a loaded machine can take longer than one client's time limit to hand over the focus
  wait_for 60 x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  sleep 1
  if [ -x "$keylag" ]; then
    x "$keylag" "$wid" 20 >"$one/keylag.txt" 2>&1 || say "key latency not measured: $(cat "$one/keylag.txt")"
  fi
  press Return || fail "xdotool cannot press Return"
  x xdotool mousemove --window "$wid" $kHoldX $kA4RowY || fail "xdotool cannot move the pointer"
  sleep 0.3
  stall_probe
  date +%s.%N >"$one/held-at"
  x xdotool mousedown 3 || fail "xdotool cannot press the right button"
  load
  x xdotool mouseup 3
  sleep 0.5
  stop_pid "$recorder"
  quit_cleanly
  /usr/bin/python3 "$here/soak_analyse.py" run "$work/out.raw" "$work/sonavel.log" "$one/keylag.txt" "${probe_args[@]}" \
    >"$one/result.json" || fail "cannot analyse the recording"
  exit 0
fi

# ---------------------------------------------------------------- the runs
[ -n "$out" ] || out=$(mktemp -d /tmp/sonavel-soak-results.XXXXXX)
mkdir -p "$out"
{
  echo "soak: $runs runs on $route, $([ "$control" = 1 ] && echo 'pacat playing a 440 Hz sine (control)' || echo 'A4 held') $hold s, $loops busy loops for $load_seconds s from $load_start s in$([ "$realtime" = 0 ] && echo ', no real-time scheduling asked for')"
  echo "soak: $(nproc) cores, load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
} | tee "$out/summary.txt"
failed=0
for run in $(seq "$runs"); do
  bash "$0" --one "$out/run$run" --route "$route" --seconds "$hold" --loops "$loops" \
    $([ "$keep_audio" = 1 ] && echo --keep-audio) $([ "$realtime" = 0 ] && echo --no-realtime) \
    $([ "$control" = 1 ] && echo --control) "$build" \
    >"$out/run$run.log" 2>&1
  status=$?
  [ $status -eq 77 ] && { tail -n 1 "$out/run$run.log"; exit 77; }
  if [ $status -ne 0 ] || [ ! -s "$out/run$run/result.json" ]; then
    failed=1
    echo "soak: run $run failed: $(grep -m 1 FAIL "$out/run$run.log")" | tee -a "$out/summary.txt"
    continue
  fi
  /usr/bin/python3 "$here/soak_analyse.py" line "$run" "$out/run$run/result.json" | tee -a "$out/summary.txt"
  [ ! -f "$out/run$run/realtime-threads" ] || echo "soak: run $run: $(cat "$out/run$run/realtime-threads") threads with real-time scheduling" |
    tee -a "$out/summary.txt"
done
/usr/bin/python3 "$here/soak_analyse.py" summary "$out"/run*/result.json | tee -a "$out/summary.txt"
echo "soak: results in $out"
exit $failed
