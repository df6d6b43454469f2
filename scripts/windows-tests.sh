#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in the display the caller provides. One wineserver is
# kept alive for the whole run, since every Wine start costs seconds otherwise.
set -uo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="$top/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=/usr/lib/wine/wineserver
command -v wineserver >/dev/null 2>&1 && wineserver="$(command -v wineserver)"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$top/scripts/wine-run.sh" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
fi
"$wineserver" -p
# Start Wine's own services now, detached from ctest's output: ctest waits for every process that
# holds its pipes, and these would stay for as long as the wineserver.
"$top/scripts/wine-run.sh" wineboot >/dev/null 2>&1 </dev/null
ctest --test-dir "$top/build/windows" --output-on-failure --timeout 600 -V
status=$?
"$wineserver" -k 2>/dev/null || true
exit $status
