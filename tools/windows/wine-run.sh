#!/usr/bin/env bash
# Runs a Windows console program under Wine and passes its exit status through:
#   tools/windows/wine-run.sh PROGRAM.exe [ARGS...]
# WINEPREFIX is the caller's when set (made on first use), else a fresh private one that is
# removed afterwards. SONAVEL_WINDOWS_DLLS (folders separated by ':') and SONAVEL_WINDOWS_PREFIX
# (prefixes separated by ';', their bin/ folders) go on the DLL search path.
set -euo pipefail

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
[[ -x $wine ]] || { echo "sonavel: $wine is missing: run tools/install-deps.sh windows" >&2; exit 1; }
[[ $# -ge 1 ]] || { echo "sonavel: usage: $0 PROGRAM.exe [ARGS...]" >&2; exit 2; }

if [[ -z ${WINEPREFIX:-} ]]; then
  WINEPREFIX=$(mktemp -d)
  trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
fi
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer on a new prefix: these programs need neither. (Wine's ALSA driver
# stays: without any sound driver PortAudio's WASAPI fails and Pa_Initialize with it.)
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
folders=()
IFS=: read -r -a dlls <<<"${SONAVEL_WINDOWS_DLLS:-}"
folders+=("${dlls[@]}")
IFS=';' read -r -a prefixes <<<"${SONAVEL_WINDOWS_PREFIX:-}"
for prefix in "${prefixes[@]}"; do folders+=("$prefix/bin"); done
path=""
for folder in "${folders[@]}"; do
  [[ -n $folder ]] && path+="${path:+;}Z:${folder//\//\\}"
done
[[ -z $path ]] || export WINEPATH=$path

# A new prefix is made first, quietly: its set-up chatter is no part of the program's output.
# Once, however many programs start at the same time (ctest -j).
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  (
    flock 9
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      "$wine" wineboot --init >/dev/null 2>&1 || true
      "$wineserver" -w
    fi
  ) 9>"${WINEPREFIX%/}.lock"
fi

status=0
"$wine" "$@" || status=$?
exit "$status"
