#!/usr/bin/env bash
# How much CPU the live program's audio threads use, over many launches on each
# sound server and route (see tests/e2e/sound_servers.sh), with prompt sinks and
# with an output sink whose monitor is recorded at 2 s latency. Run by hand, not
# by `make test`: the defaults take more than an hour.
#
# usage: tools/live_cpu_sweep.sh [-n LAUNCHES] [-s SECONDS] [-r "ROUTES"] [-l "LATENCIES"] [SONAVEL]
#   -n launches per set-up (30)     -s seconds measured per launch (20)
#   -r routes (pulseaudio pipewire-alsa pipewire-pulse)   -l latencies (prompt long)
#   SONAVEL defaults to build/sonavel; its font.tga is taken from beside it.
# The environment reaches the program, so SONAVEL_AUDIO_STREAMS=duplex measures
# the one duplex stream. Other work on the machine shows in the figures: run it
# niced on a quiet machine; the load is printed at the start and the end.
#
# Prints one line per launch, then per set-up the distribution of the busiest
# thread besides the main one (the audio thread), and exits 1 when any launch
# had it at or above 3 % of a core (2 when a set-up cannot be made or a launch
# does not run with sound).
set -u

readonly kLimit=3.0        # % of one core for the busiest thread besides the main one
readonly kSettleSeconds=2  # after the stream is open, before measuring
launches=30 seconds=20
routes="pulseaudio pipewire-alsa pipewire-pulse" latencies="prompt long"
while getopts "n:s:r:l:" option; do
  case $option in
    n) launches=$OPTARG ;;
    s) seconds=$OPTARG ;;
    r) routes=$OPTARG ;;
    l) latencies=$OPTARG ;;
    *) sed -n '7,10p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
here=$(cd "$(dirname "$0")/.." && pwd)
sonavel=$(realpath "${1:-$here/build/sonavel}")
[ -x "$sonavel" ] || { echo "sonavel: no program at $sonavel" >&2; exit 2; }
source "$here/tests/e2e/sound_servers.sh"

work=$(mktemp -d /tmp/sonavel-sweep.XXXXXX)
started=()
stop_all() {
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop_pid "${started[i]}"; done
  started=()
}
trap 'stop_all; kill "${xvfb_pid:-}" 2>/dev/null; rm -rf "$work"' EXIT
say() { printf 'sweep: %s\n' "$*"; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
sound_server_wait 30 test -s "$work/display" || { echo "sonavel: Xvfb does not start" >&2; exit 2; }
export DISPLAY=":$(head -n 1 "$work/display")"
mkdir -p "$work/run"
cp "$(dirname "$sonavel")/font.tga" "$work/run/" 2>/dev/null
hz=$(getconf CLK_TCK)
say "$(date '+%F %T'), load:$(uptime | sed 's/.*load average//')"
say "$launches launches of ${seconds} s per set-up; ${SONAVEL_AUDIO_STREAMS:+SONAVEL_AUDIO_STREAMS=$SONAVEL_AUDIO_STREAMS; }limit $kLimit %"

# thread_ticks PID: one "TID TICKS" line per thread
thread_ticks() {
  local task
  for task in /proc/"$1"/task/*; do
    awk -v tid="${task##*/}" '{ sub(/^.*\) /, ""); print tid, $12 + $13 }' "$task/stat" 2>/dev/null
  done
}

# prepare LATENCY: the tone into sonavel_in, a recorder on sonavel_out's monitor.
prepare() {
  local record_ms=10
  [ "$1" = long ] && record_ms=2000
  parec --latency-msec=$record_ms -d sonavel_out.monitor --rate=44100 --channels=1 --format=float32le \
    /dev/null </dev/null >>"$work/setup/parec.log" 2>&1 &
  started+=($!)
  if [ "$1" = prompt ]; then  # an idle null sink renders ahead until suspended and resumed
    timeout 10 pactl suspend-sink sonavel_in 1; timeout 10 pactl suspend-sink sonavel_in 0
    timeout 10 pactl suspend-sink sonavel_out 1; timeout 10 pactl suspend-sink sonavel_out 0
  fi
  # A 440 Hz tone made as it is played, for as long as the set-up runs.
  sox -n -t raw -r 44100 -c 1 -b 16 -e signed - synth 86400 sine 440 vol 0.03 2>/dev/null |
    pacat -d sonavel_in --rate=44100 --channels=1 --format=s16le >>"$work/setup/pacat.log" 2>&1 &
  started+=($!)
  sleep 1
}

# launch: one run of the program; prints "BUSIEST OTHERS INPUT_MS OUTPUT_MS", or
# "failed WHY" when it did not run with sound for the whole span.
launch() {
  local pid log=$work/setup/sonavel.log
  (cd "$work/run" && SDL_VIDEODRIVER=x11 SONAVEL_AUDIO_REPORT=1 exec "$sonavel") </dev/null >/dev/null 2>"$log" &
  pid=$!
  sound_server_wait 15 grep -q -e '^sonavel: audio:' -e '^sonavel: no sound' "$log"
  sleep $kSettleSeconds
  local w0 w1
  thread_ticks "$pid" >"$work/t0"; w0=$(date +%s.%N)
  sleep "$seconds"
  thread_ticks "$pid" >"$work/t1"; w1=$(date +%s.%N)
  local ran=true
  kill -0 "$pid" 2>/dev/null || ran=false
  stop_pid "$pid"
  if ! $ran || ! grep -q '^sonavel: audio:' "$log"; then
    echo "failed $(grep -m 1 -v '^sonavel: audio:' "$log" | grep '^sonavel: ' || echo 'ended early')"
    return
  fi
  local input output
  input=$(sed -n 's/^sonavel: audio: .*input latency \([0-9.]*\) ms.*/\1/p' "$log")
  output=$(sed -n 's/^sonavel: audio: .*output latency \([0-9.]*\) ms.*/\1/p' "$log")
  awk -v main="$pid" -v span="$(awk -v a="$w0" -v b="$w1" 'BEGIN { print b - a }')" -v hz="$hz" \
    -v input="${input:--}" -v output="${output:--}" '
    NR == FNR { t0[$1] = $2; next }
    ($1 in t0) && $1 != main { c = 100 * ($2 - t0[$1]) / hz / span; sum += c; if (c > best) best = c }
    END { printf "%.1f %.1f %s %s\n", best, sum - best, input, output }' "$work/t0" "$work/t1"
}

# summary SETUP FILE: the distribution of the busiest thread's share.
summary() {
  sort -n -k1,1 "$2" | awk -v setup="$1" -v limit=$kLimit '
    { c[NR] = $1; if ($1 >= limit) over++; lat[$3 " / " $4]++ }
    END {
      if (NR == 0) { printf "%-28s no launches\n", setup; exit }
      printf "%-28s n %d  min %.1f  median %.1f  p90 %.1f  max %.1f  at or above %.1f %%: %d",
        setup, NR, c[1], c[int((NR + 1) / 2)], c[int(NR * 0.9 + 0.999)], c[NR], limit, over + 0
      printf "  latencies in/out ms:"; for (l in lat) printf " %s (%d)", l, lat[l]; printf "\n"
    }'
}

status=0
summaries=()
for route in $routes; do
  for latency in $latencies; do
    setup="$route/$latency"
    rm -rf "$work/setup"; mkdir -p "$work/setup"
    (
      trap stop_all EXIT
      sound_server_start "$route" "$work/setup/server" || { echo "sonavel: $setup: $sound_server_why" >&2; exit 2; }
      prepare "$latency"
      for ((i = 1; i <= launches; i++)); do
        read -r busiest others input output < <(launch)
        if [ "$busiest" = failed ]; then
          echo "$others $input $output" >>"$work/setup/failed"
          say "$setup launch $i: did not run: $others $input $output"
          continue
        fi
        printf '%s %s %s %s\n' "$busiest" "$others" "$input" "$output" >>"$work/setup/results"
        say "$setup launch $i: audio thread $busiest %, other threads $others %, latency in $input ms / out $output ms"
      done
      stop_all
    )
    [ $? -eq 2 ] && status=2
    summaries+=("$(summary "$setup" "$work/setup/results" 2>/dev/null)")
    if [ -s "$work/setup/failed" ]; then
      summaries+=("$(printf '%-28s %d launches did not run' "$setup" "$(wc -l <"$work/setup/failed")")")
      [ $status -eq 0 ] && status=2
    fi
    awk -v limit=$kLimit '$1 >= limit { found = 1 } END { exit !found }' "$work/setup/results" 2>/dev/null &&
      [ $status -eq 0 ] && status=1
  done
done
say "load at the end:$(uptime | sed 's/.*load average//')"
say "busiest thread besides the main one, % of one core, per set-up:"
printf '%s\n' "${summaries[@]}"
exit $status
