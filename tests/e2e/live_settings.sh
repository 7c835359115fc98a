#!/usr/bin/env bash
# The settings kept between runs, in the window on Xvfb with no sound server (the program
# runs as a viewer of silence, which is all this needs), its settings under a scratch
# XDG_CONFIG_HOME. D and T pressed, Escape: the file holds the precise detector and the
# B-flat transposition. Started again with --a4 442 and T pressed once more: the file then
# holds E-flat (T went on from the kept B-flat), the detector still and the A4 given. With
# --no-settings the file is neither read nor written; a corrupt file, or a device no longer
# there, gives one line and the window opens. And a headless run gives the same bytes
# whatever the file says.
#
# usage: live_settings.sh SONAVEL FONT.tga MAKE_MELODY
# Exit 0 pass, 1 fail, 77 skip (only when Xvfb cannot run here).
set -u

sonavel=$(realpath "$1") font=$(realpath -m "$2") make_melody=$(realpath "$3")
source "$(dirname "$0")/sound_servers.sh"  # for stop_pid
readonly kSkip=77

work=$(mktemp -d /tmp/sonavel-settings.XXXXXX)
started=()          # every process this script started, and only those
t_start=$(date +%s.%N)

say() { printf 'live_settings: %s\n' "$*"; }
source "$(dirname "$0")/live_script.sh"  # sets XDG_CONFIG_HOME to $work/config
trap cleanup EXIT
settings=$XDG_CONFIG_HOME/sonavel/settings

mkdir -p "$work/run"
[ -f "$font" ] && cp "$font" "$work/run/font.tga"

# --- Headless: the same bytes with and without a file that changes everything it keeps.
"$make_melody" "$work/ode.wav" >/dev/null || fail "the tune maker failed"
headless() {  # headless NAME: every output of a replay, under $work/NAME-*
  (cd "$work/run" && "$sonavel" --headless "$work/ode.wav" --scores "$work/$1-scores.csv" \
    --picture "$work/$1-picture.png" --pitch "$work/$1-pitch.csv" --midi "$work/$1-notes.mid" \
    --roll "$work/$1-roll.png") </dev/null >"$work/$1.log" 2>&1 || fail "headless $1: $(cat "$work/$1.log")"
}
headless without
mkdir -p "$(dirname "$settings")"
printf '%s\n' "auto-gain = on" "detector = precise" "a4 = 415" "temperament = just" "key = D" \
  "transpose = Bb" "names = german" "flats = on" "scale = 2" >"$settings"
cp "$settings" "$work/settings-before"
headless with
for output in scores.csv picture.png pitch.csv notes.mid roll.png; do
  cmp -s "$work/without-$output" "$work/with-$output" || fail "headless $output differs with a settings file"
done
[ -s "$work/with.log" ] && fail "headless said something about the file: $(cat "$work/with.log")"
cmp -s "$settings" "$work/settings-before" || fail "a headless run changed the settings file"
rm -f "$settings"
say "headless outputs the same bytes whatever the file says ($(elapsed) s)"

command -v Xvfb >/dev/null || skip "Xvfb is not installed"
command -v xdotool >/dev/null || fail "xdotool is missing (tools/install-deps.sh test installs it)"
start_display
say "Xvfb on $DISPLAY ($(elapsed) s)"
export PULSE_SERVER=unix:$work/no-server

focus_and_press() {  # focus_and_press KEY...: each key, held long enough for a frame step to see it
  x xdotool windowfocus --sync "$wid" || fail "cannot focus the window"
  sleep 0.3
  for key in "$@"; do press "$key" || fail "xdotool cannot press $key"; sleep 0.2; done
}
expect_settings() {  # expect_settings LINE...: the file's settings, comments aside
  local found
  found=$(grep -v '^#' "$settings" 2>/dev/null)
  [ "$found" = "$(printf '%s\n' "$@")" ] || fail "the settings file holds '$(tr '\n' ';' <<<"$found")', not '$(printf '%s;' "$@")'"
}
settings_lines() { grep -c "$settings" "$work/sonavel.log"; }

# --- No file: nothing written when nothing was set.
start_sonavel
quit_cleanly
[ -e "$settings" ] && fail "a run that set nothing wrote $(cat "$settings")"

# --- D and T: kept.
start_sonavel
focus_and_press d t
quit_cleanly
expect_settings "detector = precise" "transpose = Bb"
say "D and T kept: $(grep -v '^#' "$settings" | tr '\n' ';') ($(elapsed) s)"

# --- Read back: T goes on from the kept B-flat; the command line's A4 is kept too.
start_sonavel --a4 442
focus_and_press t
quit_cleanly
expect_settings "detector = precise" "transpose = Eb" "a4 = 442"
[ "$(settings_lines)" -eq 0 ] || fail "a good file gave a line: $(cat "$work/sonavel.log")"
say "read back and applied ($(elapsed) s)"

# --- --no-settings: neither read nor written.
cp "$settings" "$work/settings-before"
start_sonavel --no-settings
focus_and_press d t
quit_cleanly
cmp -s "$settings" "$work/settings-before" || fail "--no-settings changed the file: $(cat "$settings")"

# --- A corrupt file: one line, the window opens, the defaults are used.
head -c 300 "$sonavel" >"$settings"
start_sonavel
quit_cleanly
[ "$(settings_lines)" -eq 1 ] || fail "a corrupt file gave $(settings_lines) lines, not 1: $(cat "$work/sonavel.log")"
grep "$settings" "$work/sonavel.log" | grep -q '^sonavel: ' || fail "the line does not start with sonavel: "
say "a corrupt file: $(grep "$settings" "$work/sonavel.log")"

# --- A device no longer there: one line, the default device, the file keeps it for its return.
printf '%s\n' "input-device = a microphone unplugged" >"$settings"
start_sonavel
quit_cleanly
[ "$(settings_lines)" -eq 1 ] || fail "a missing device gave $(settings_lines) lines, not 1: $(cat "$work/sonavel.log")"
expect_settings "input-device = a microphone unplugged"
say "a missing device: $(grep "$settings" "$work/sonavel.log")"
say "PASS ($(elapsed) s)"
