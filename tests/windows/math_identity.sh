#!/usr/bin/env bash
# The Windows build's math against the Linux build's, for every input math_identity.cpp draws:
# glibc's as picked on this processor, then glibc's plain build (no FMA) against glibc-math.dll's.
#   math_identity.sh LINUX_TOOL WINE_RUN WINDOWS_TOOL
# Exit 0 when every value agrees, 1 when any differs, 77 without the Linux build's tool.
set -uo pipefail
linux=$1 wine=$2 windows=$3
[[ -x $linux ]] || { echo "math_identity: no Linux build's $linux: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
# glibc.cpu.hwcaps takes away what glibc picks its FMA builds by; SONAVEL_GLIBC_MATH picks glibc-math's.
for build in chosen plain; do
  tunables=${GLIBC_TUNABLES:-} forced=
  [[ $build == plain ]] && tunables=glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4 forced=plain
  echo "math_identity: glibc's $build build"
  GLIBC_TUNABLES=$tunables "$linux" write "$work/$build.bin" || { echo "math_identity: writing failed"; exit 1; }
  SONAVEL_GLIBC_MATH=$forced "$wine" "$windows" check "$work/$build.bin" \
    2> >(grep -v '^ALSA lib' >&2) || status=1
done
exit $status
