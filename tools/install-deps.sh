#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that are missing for: run | test | bench.
set -euo pipefail

run_packages="cmake g++ make pkg-config libsdl2-dev portaudio19-dev libsndfile1-dev libpng-dev"
test_packages="libgtest-dev libgmock-dev xvfb xauth xdotool imagemagick pulseaudio pulseaudio-utils libasound2-plugins sox lingot clang libclang-rt-dev time"
bench_packages="libbenchmark-dev libfftw3-dev"

case "${1:-run}" in
  run) wanted="$run_packages" ;;
  test) wanted="$run_packages $test_packages" ;;
  bench) wanted="$run_packages $bench_packages" ;;
  *) echo "sonavel: usage: $0 run|test|bench" >&2; exit 2 ;;
esac

missing=()
for package in $wanted; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
echo "sonavel: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
