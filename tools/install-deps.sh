#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that are missing for: run | test | bench | sweep | deb | windows.
set -euo pipefail

run_packages="cmake g++ make pkg-config libsdl2-dev libx11-dev portaudio19-dev libsndfile1-dev libpng-dev libsoxr-dev librtmidi-dev"
test_packages="libgtest-dev libgmock-dev libxtst-dev xvfb xauth xdotool x11-utils imagemagick pulseaudio pulseaudio-utils libasound2-plugins sox lingot clang libclang-rt-dev time
  desktop-file-utils
  pipewire pipewire-pulse wireplumber dbus-daemon
  jackd2 libjack-jackd2-dev python3"
bench_packages="libbenchmark-dev libfftw3-dev"
sweep_packages="fluidsynth fluid-soundfont-gm timgm6mb-soundfont musescore-general-soundfont csound-soundfont sox python3
  python3-mir-eval python3-mido"
# `make deb`: dpkg-buildpackage checks the build-dependencies, build-essential among them.
deb_packages="build-essential dpkg-dev debhelper lintian"
# The cross build for Windows: the MinGW-w64 compilers, the tools the dependencies'
# own build systems want, Wine to run the result, NSIS and zip to package it,
# rsvg-convert and icotool to make the icon, GoogleTest's sources for the tests, and
# libsoxr0, whose installed version the Windows build's converter is built at, and Python's
# YAML reader for the winget manifests' check.
windows_packages="mingw-w64 cmake make pkg-config dpkg-dev autoconf automake libtool gettext autogen patch
  wine64 nsis zip unzip librsvg2-bin icoutils googletest libsoxr0 python3-yaml"

case "${1:-run}" in
  run) wanted="$run_packages" ;;
  test) wanted="$run_packages $test_packages" ;;
  bench) wanted="$run_packages $bench_packages" ;;
  sweep) wanted="$run_packages $sweep_packages" ;;
  deb) wanted="$run_packages $deb_packages" ;;
  windows) wanted="$windows_packages" ;;
  *) echo "sonavel: usage: $0 run|test|bench|sweep|deb|windows" >&2; exit 2 ;;
esac

# PipeWire's ALSA plugin conflicts with PulseAudio as a package: the live tests
# load it from this folder instead (tests/e2e/sound_servers.sh).
pipewire_alsa_root=/opt/sonavel-test/pipewire-alsa

missing=()
for package in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
want_plugin=false
if [[ "${1:-run}" == test && ! -d "$pipewire_alsa_root/usr" ]]; then want_plugin=true; fi
[[ ${#missing[@]} -eq 0 ]] && ! $want_plugin && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
# Another apt run on the machine holds dpkg's lock for a while: wait for it rather than fail.
wait_lock=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${wait_lock[@]}" update -qq
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "sonavel: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait_lock[@]}" install -y -qq "${missing[@]}" >/dev/null
fi
# The live tests start private PipeWire servers of their own. A desktop that did
# not run PipeWire before keeps the sound server it had: the user services these
# packages enable for every login are switched off again.
user_units=()
for package in "${missing[@]}"; do
  case $package in
    pipewire) user_units+=(pipewire.socket pipewire.service) ;;
    pipewire-pulse) user_units+=(pipewire-pulse.socket pipewire-pulse.service) ;;
    wireplumber) user_units+=(wireplumber.service) ;;
  esac
done
if [[ ${#user_units[@]} -gt 0 ]] && command -v systemctl >/dev/null; then
  $sudo systemctl --global disable --quiet "${user_units[@]}" 2>/dev/null || true
fi
if $want_plugin; then
  echo "sonavel: unpacking pipewire-alsa into $pipewire_alsa_root"
  download=$(mktemp -d)
  chmod 755 "$download"  # apt fetches as its own user
  (cd "$download" && apt-get download -qq pipewire-alsa)
  $sudo mkdir -p "$pipewire_alsa_root"
  $sudo dpkg-deb -x "$download"/pipewire-alsa_*.deb "$pipewire_alsa_root"
  rm -rf "$download"
fi
