#!/usr/bin/env bash
# Makes a Windows icon from the program's SVG, at the sizes Explorer and the Start menu ask for:
#   tools/windows/make-icon.sh data/sonavel.svg OUT.ico
set -euo pipefail
[[ $# -eq 2 ]] || { echo "sonavel: usage: $0 SVG OUT.ico" >&2; exit 2; }
sizes=(16 24 32 48 64 128 256)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pngs=()
for size in "${sizes[@]}"; do
  rsvg-convert -w "$size" -h "$size" -o "$work/$size.png" "$1"
  pngs+=("$work/$size.png")
done
# The 256-pixel image stays PNG inside the icon, as Windows Vista and later expect.
icotool -c -o "$2" "${pngs[@]:0:${#pngs[@]}-1}" -r "${pngs[-1]}"
