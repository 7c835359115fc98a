#!/usr/bin/env bash
# The Windows tests' shared Wine prefix: made once (ctest's fixture), its server kept for a minute
# after the last program ends, so that each test's program starts in a fraction of a second.
#   wine_prefix.sh WINE_RUN   (the build's wine-run.sh)
set -euo pipefail
"$1" cmd.exe /c exit 0 >/dev/null 2>&1
WINEPREFIX=${WINEPREFIX:-$(sed -n 's/^WINEPREFIX=\${WINEPREFIX:-\(.*\)} .*/\1/p' "$1")}
WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -p60
