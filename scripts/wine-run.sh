#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's own prefix. Used by CTest for the Windows
# build. Expects a display (the test command starts Xvfb) and, for speed, a wineserver kept alive
# for the whole run (wineserver -p).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer may start.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
wine=/usr/lib/wine/wine64
command -v wine64 >/dev/null 2>&1 && wine="$(command -v wine64)"
wineserver=/usr/lib/wine/wineserver
command -v wineserver >/dev/null 2>&1 && wineserver="$(command -v wineserver)"
# Wine sets a new prefix up when the first program starts in it, and lets that program go on when
# the set-up takes long. So the first program is one that sets nothing up itself (`wineboot -i`
# would be a second set-up beside the first), and everything Wine started is waited for before
# anything else runs. What the set-up prints goes to TARNWICK_WINE_SETUP_LOG.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" cmd.exe /c exit 0 >>"${TARNWICK_WINE_SETUP_LOG:-/dev/null}" 2>&1 </dev/null || true
  "$wineserver" -w
fi
exec "$wine" "$@"
