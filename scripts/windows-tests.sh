#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in the display the caller provides. One wineserver is
# kept alive for the whole run, since every Wine start costs seconds otherwise.
#
#   scripts/windows-tests.sh [--build DIR] [--linux-build DIR] [CTEST ARGUMENTS...]
#
# The whole Wine session runs in one test sandbox (the Linux build's tests/test_sandbox): Wine's
# processes and sockets are the host's, so the sandbox gives them a network and process list of
# their own, and the launcher's tests find the daemon's port free whatever runs on the host.
# The prefix is made anew for every run and removed after it: build/wineprefix, or
# TARNWICK_TEST_WINEPREFIX (never an inherited WINEPREFIX, which may be a user's own).
set -uo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$top/build/windows"
linux_build="$top/build/linux"
arguments=("$@")
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$(realpath "$2")"; shift 2 ;;
    --linux-build) linux_build="$(realpath "$2")"; shift 2 ;;
    *) break ;;
  esac
done
if [ -z "${TARNWICK_TEST_SANDBOX:-}" ]; then
  if [ -x "$linux_build/tests/test_sandbox" ]; then
    exec "$linux_build/tests/test_sandbox" "$0" "${arguments[@]}"
  fi
  echo "no $linux_build/tests/test_sandbox (build the Linux tests first): the tests that need the daemon's port will skip"
fi
export WINEPREFIX="${TARNWICK_TEST_WINEPREFIX:-$top/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=/usr/lib/wine/wineserver
command -v wineserver >/dev/null 2>&1 && wineserver="$(command -v wineserver)"

# A fresh prefix for every run: one left by an earlier run (the registrations, folders and settings
# its tests wrote, or a set-up that was cut short) made the shell's dialogs and the runtime tests
# fail in the next one.
"$wineserver" -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
# The set-up's first program is the check: a prefix that cannot start one fails every test with the
# same message from Wine's loader, so say once why, with what the set-up printed.
setup_log="$(mktemp)"
if ! TARNWICK_WINE_SETUP_LOG="$setup_log" "$top/scripts/wine-run.sh" cmd.exe /c exit 0 >>"$setup_log" 2>&1 </dev/null; then
  echo "Wine cannot start a program in the new prefix $WINEPREFIX; the set-up printed:"
  cat "$setup_log"
  echo "system32 holds $(find "$WINEPREFIX/drive_c/windows/system32" -maxdepth 1 -type f 2>/dev/null | wc -l) files; free space:"
  df -h "$WINEPREFIX"
  status=1
else
  "$wineserver" -p
  # Start Wine's own services now, detached from ctest's output: ctest waits for every process that
  # holds its pipes, and these would stay for as long as the wineserver.
  "$top/scripts/wine-run.sh" wineboot >/dev/null 2>&1 </dev/null
  ctest --test-dir "$build" --output-on-failure --timeout 600 -V "$@"
  status=$?
fi
rm -f "$setup_log"
"$wineserver" -k 2>/dev/null || true
# The next run makes the prefix anew; its 700 MB need not wait for it.
rm -rf "$WINEPREFIX"
exit $status
