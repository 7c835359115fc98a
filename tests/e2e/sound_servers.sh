# Sourced by the live scripts: a private sound server with two mono null sinks,
# sonavel_in (its monitor is the default source) and sonavel_out (the default
# sink), reached by ALSA's "default" device along one of three routes:
#
#   pulseaudio       PulseAudio, through ALSA's pulse plugin
#   pipewire-pulse   PipeWire with its PulseAudio server, through ALSA's pulse plugin
#   pipewire-alsa    PipeWire, through PipeWire's own ALSA plugin (what a desktop
#                    with pipewire-alsa gets for "default")
#
# sound_server_start ROUTE DIR: starts the server (its null sinks at sound_server_rate, default
# 44100 Hz) with every file under DIR and
# exports what its clients need (HOME, XDG_RUNTIME_DIR, PULSE_SERVER, and for
# PipeWire PIPEWIRE_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS, ALSA_CONFIG_PATH).
# Appends each process it starts to the caller's array `started`. Returns 77
# when the route's programs are not installed, 1 when the server does not come
# up; sound_server_why says why.
#
# PipeWire's ALSA plugin conflicts with PulseAudio as a Debian package, so
# tools/install-deps.sh unpacks it into the folder below instead of installing it.

readonly kPipewireAlsaRoot=${SONAVEL_PIPEWIRE_ALSA:-/opt/sonavel-test/pipewire-alsa}
readonly kPipewireAlsaLib=$kPipewireAlsaRoot/usr/lib/x86_64-linux-gnu/alsa-lib
sound_server_why=""

# stop_pid PID: a polite end, then a hard one; for the processes the caller started.
stop_pid() {
  local pid=$1
  kill -0 "$pid" 2>/dev/null || return 0
  kill "$pid" 2>/dev/null
  for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}

sound_server_wait() {  # sound_server_wait SECONDS COMMAND...
  local deadline=$(( $(date +%s) + $1 )); shift
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.05
  done
}

sound_server_up() { timeout 5 pactl info; }

sound_server_sinks() {
  local sink
  for sink in sonavel_in sonavel_out; do
    timeout 10 pactl load-module module-null-sink sink_name=$sink rate=${sound_server_rate:-44100} channels=1 format=float32le \
      >/dev/null || return 1
  done
  timeout 10 pactl set-default-source sonavel_in.monitor && timeout 10 pactl set-default-sink sonavel_out
}

sound_server_start_pulseaudio() {
  local dir=$1
  mkdir -p "$dir/pulse-home" "$dir/pulse-run"
  cat >"$dir/own.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse.sock
EOF
  env -u DISPLAY HOME="$dir/pulse-home" XDG_RUNTIME_DIR="$dir/pulse-run" \
    pulseaudio --daemonize=no -n -F "$dir/own.pa" --exit-idle-time=-1 --log-target=stderr \
    </dev/null >"$dir/pulse.log" 2>&1 &
  started+=($!)
  export PULSE_SERVER="unix:$dir/pulse.sock" HOME="$dir/pulse-home" XDG_RUNTIME_DIR="$dir/pulse-run"
}

# PipeWire, WirePlumber and PipeWire's PulseAudio server, each with private
# runtime, configuration and state folders; the graph runs at 44100 Hz and
# WirePlumber looks for no sound cards, cameras or Bluetooth devices.
sound_server_start_pipewire() {
  local dir=$1
  local run=$dir/pw-run config=$dir/pw-config
  mkdir -p "$run" "$dir/pw-state" "$config/pipewire/pipewire.conf.d" \
    "$config/wireplumber/main.lua.d" "$config/wireplumber/bluetooth.lua.d"
  cat >"$config/pipewire/pipewire.conf.d/10-rate.conf" <<'EOF'
context.properties = {
    default.clock.rate = 44100
    default.clock.allowed-rates = [ 44100 ]
}
EOF
  printf '%s\n' 'alsa_monitor.enabled = false' 'v4l2_monitor.enabled = false' \
    'libcamera_monitor.enabled = false' >"$config/wireplumber/main.lua.d/60-no-devices.lua"
  echo 'bluez_monitor.enabled = false' >"$config/wireplumber/bluetooth.lua.d/60-no-bluetooth.lua"
  export HOME=$dir XDG_RUNTIME_DIR=$run PIPEWIRE_RUNTIME_DIR=$run XDG_CONFIG_HOME=$config \
    XDG_STATE_HOME=$dir/pw-state PULSE_SERVER="unix:$run/pulse/native"
  dbus-daemon --session --nofork --address="unix:path=$run/bus" </dev/null >"$dir/dbus.log" 2>&1 &
  started+=($!)
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus"
  sound_server_wait 10 test -S "$run/bus" || return 1
  env -u DISPLAY pipewire </dev/null >"$dir/pipewire.log" 2>&1 &
  started+=($!)
  sound_server_wait 10 test -S "$run/pipewire-0" || return 1
  env -u DISPLAY wireplumber </dev/null >"$dir/wireplumber.log" 2>&1 &
  started+=($!)
  env -u DISPLAY pipewire-pulse </dev/null >"$dir/pipewire-pulse.log" 2>&1 &
  started+=($!)
}

# ALSA's own configuration with nothing loaded from the system but a "default"
# device on PipeWire's plugin.
sound_server_alsa_to_pipewire() {
  local dir=$1
  cat >"$dir/pipewire-default.conf" <<EOF
pcm_type.pipewire { lib "$kPipewireAlsaLib/libasound_module_pcm_pipewire.so" }
ctl_type.pipewire { lib "$kPipewireAlsaLib/libasound_module_ctl_pipewire.so" }
pcm.!default { type pipewire playback_node "-1" capture_node "-1" }
ctl.!default { type pipewire }
EOF
  awk -v own="$dir/pipewire-default.conf" '
    !done && /^@hooks \[/ { skipping = 1; print "@hooks [ { func load files [ \"" own "\" ] errors false } ]"; next }
    skipping { if (/^\]/) { skipping = 0; done = 1 } next }
    { print }' /usr/share/alsa/alsa.conf >"$dir/alsa.conf"
  export ALSA_CONFIG_PATH=$dir/alsa.conf
}

sound_server_start() {
  local route=$1 dir=$2 tool
  local needs="pactl"
  case "$route" in
    pulseaudio) needs+=" pulseaudio" ;;
    pipewire-pulse | pipewire-alsa) needs+=" pipewire wireplumber pipewire-pulse dbus-daemon" ;;
    *) sound_server_why="unknown route $route"; return 1 ;;
  esac
  for tool in $needs; do
    command -v "$tool" >/dev/null || { sound_server_why="$tool is not installed"; return 77; }
  done
  if [ "$route" = pipewire-alsa ] && [ ! -f "$kPipewireAlsaLib/libasound_module_pcm_pipewire.so" ]; then
    sound_server_why="PipeWire's ALSA plugin is not unpacked in $kPipewireAlsaRoot"
    return 77
  fi
  mkdir -p "$dir"
  if [ "$route" = pulseaudio ]; then
    sound_server_start_pulseaudio "$dir"
  else
    sound_server_start_pipewire "$dir" || { sound_server_why="PipeWire does not start"; return 1; }
  fi
  sound_server_wait 30 sound_server_up || { sound_server_why="$route does not answer pactl"; return 1; }
  sound_server_sinks || { sound_server_why="cannot create the null sinks"; return 1; }
  [ "$route" != pipewire-alsa ] || sound_server_alsa_to_pipewire "$dir"
  return 0
}
