# Sourced by the live scripts after sound_servers.sh: the steps they share. The
# caller defines `say`, kSkip, `work` (its scratch folder), `started` (the
# processes it started) and t_start, then sets `trap cleanup EXIT`.

# The program keeps its settings in the scratch folder: none of the user's reach a test, and
# none of a test's reach the user.
export XDG_CONFIG_HOME="$work/config"

# Clients of the servers get a time limit each: a wedged server must fail the run, not hang it.
x() { timeout 15 "$@"; }
elapsed() { awk -v a="$t_start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }'; }

# With LIVE_KEEP=PREFIX the scratch folder, logs and recordings, is kept as PREFIX-PID.
cleanup() {
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop_pid "${started[i]}"; done
  [ -n "${LIVE_KEEP:-}" ] && cp -r "$work" "$LIVE_KEEP-$$" 2>/dev/null; rm -rf "$work"
}

show_logs() {
  for log in "$work"/*.log; do
    [ -s "$log" ] || continue
    echo "---- $(basename "$log") (last lines)"
    grep -v -e '^ALSA lib' -e '^Cannot connect to server' -e '^jack' -e '^JackShm' "$log" | tail -n 15
  done
}
fail() { say "FAIL: $*"; show_logs; exit 1; }
skip() { say "SKIP: $*"; exit $kSkip; }

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
  local seconds=$1; shift
  local deadline=$(( $(date +%s) + seconds ))
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

display_answers() { x xdotool getdisplaygeometry; }

# start_display [WxH [XVFB-ARGS...]]: Xvfb on a free display, 1024x768 unless told;
# skips when this machine cannot run it. Without -noreset the server resets when its
# last client leaves and, on a busy machine, refuses a client that comes meanwhile:
# sonavel started just after the check below that the display answers.
start_display() {
  local size=${1:-1024x768}
  shift
  Xvfb -displayfd 3 -screen 0 "${size}x24" -noreset "$@" -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
  started+=($!)
  xvfb_pid=$!
  display_ready() { ! kill -0 "$xvfb_pid" || [ -s "$work/display" ]; }  # up, or gone for good
  wait_for 30 display_ready
  [ -s "$work/display" ] && kill -0 "$xvfb_pid" 2>/dev/null || skip "Xvfb cannot start on this machine"
  export DISPLAY=":$(head -n 1 "$work/display")"
  unset XAUTHORITY
  wait_for 10 display_answers || fail "Xvfb on $DISPLAY does not answer a client"
}

# start_display_and_server: Xvfb on a free display, then the sound server of
# $route; skips when this machine cannot run either.
start_display_and_server() {
  start_display
  sound_server_start "$route" "$work/server"
  case $? in
    0) ;;
    77) skip "$sound_server_why" ;;
    *) skip "$route cannot start on this machine: $sound_server_why" ;;
  esac
}

# record SOURCE FILE: the source's samples as 44100 Hz mono float into FILE, read every
# $record_ms ms (10 unless the caller set it).
record() {
  parec --latency-msec="${record_ms:-10}" -d "$1" --rate=44100 --channels=1 --format=float32le "$2" \
    </dev/null >>"$work/parec.log" 2>&1 &
  started+=($!)
}

# make_sinks_prompt: an idle null sink renders ahead, so suspend and resume both
# sinks and wait until their latency is low.
sinks_prompt() {
  x pactl list sinks | awk '/^[[:space:]]*Latency:/ { if ($2 > 200000) slow = 1; n++ } END { exit !(n == 2 && !slow) }'
}
make_sinks_prompt() {
  local sink
  for sink in sonavel_in sonavel_out; do
    x pactl suspend-sink "$sink" 1 && x pactl suspend-sink "$sink" 0 || fail "cannot suspend and resume $sink"
  done
  wait_for 20 sinks_prompt || fail "the null sinks keep a high latency"
}

# start_sonavel ARGS...: sonavel in $work/run, its window up; sets sonavel_pid and
# wid. Should the window system still refuse the program's connection, that one
# refusal gets a second try, said in the log.
wid=""
sonavel_pid=""
window_up() {
  kill -0 "$sonavel_pid" || return 0  # ended: stop waiting, said below
  wid=$(x xdotool search --name '^sonavel$' 2>/dev/null | tail -n 1)
  [ -n "$wid" ]
}
start_sonavel() {
  local try
  for try in 1 2; do
    (cd "$work/run" && SDL_VIDEODRIVER=x11 exec "$sonavel" "$@") </dev/null >"$work/sonavel-out.log" 2>"$work/sonavel.log" &
    sonavel_pid=$!
    started+=($sonavel_pid)
    wait_for 30 window_up
    kill -0 "$sonavel_pid" 2>/dev/null && break
    [ "$try" = 1 ] && grep -q 'cannot open a window' "$work/sonavel.log" || fail "sonavel ended at start-up"
    say "the window system refused sonavel ($(tail -n 1 "$work/sonavel.log"); display answers: $(display_answers >/dev/null 2>&1 && echo yes || echo no)); once more"
  done
  [ -n "$wid" ] || fail "no window titled sonavel appeared"
}

press() {  # press KEY: held long enough for a frame step to see it
  x xdotool keydown "$1" && sleep 0.15 && x xdotool keyup "$1"
}

# quit_cleanly: Escape, and sonavel must end with status 0.
quit_cleanly() {
  press Escape || fail "xdotool cannot press Escape"
  exited() { ! kill -0 "$sonavel_pid"; }
  wait_for 30 exited || fail "sonavel did not exit after Escape"
  wait "$sonavel_pid"
  local status=$?
  [ "$status" -eq 0 ] || fail "sonavel exited with status $status"
}
