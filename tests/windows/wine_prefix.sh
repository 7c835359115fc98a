#!/usr/bin/env bash
# The Windows tests' shared Wine prefix (ctest's fixture): its server started to stay a minute
# after the last program ends, so that each test's program starts in a fraction of a second,
# then the prefix made if it is new.
#   wine_prefix.sh WINE_RUN   (the build's wine-run.sh, which names the prefix)
set -euo pipefail
export WINEPREFIX=${WINEPREFIX:-$(sed -n 's/^WINEPREFIX=\${WINEPREFIX:-\(.*\)} .*/\1/p' "$1")}
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wineserver -p60 2>/dev/null || true  # one already running serves as well
"$1" cmd.exe /c exit 0 >/dev/null 2>&1
