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
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi
exec "$wine" "$@"
