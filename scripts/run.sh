#!/usr/bin/env bash
# Installs what building and running the Linux launcher needs, builds the launcher and the stand-in
# daemon beside it, and runs the launcher on the current display. The launcher starts the daemon
# when none runs and leaves it running; this script ends the daemon it caused to start when the
# launcher ends (window closed, Ctrl-C), and never one that ran before.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the Tarnwick window could not be seen; run it in a desktop session or with ssh -X (./scripts/test.sh runs the launcher under a virtual display)." >&2
  exit 1
fi
./scripts/install-deps.sh run
cmake --preset linux >/dev/null
cmake --build build/linux -j2 --target tarnwick_desktop tarnwickd

# Processes started from here carry this mark, a daemon the launcher starts included.
export TARNWICK_RUN_SH="$$"
end_started_daemon() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid="${environ#/proc/}"
    pid="${pid%/environ}"
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = tarnwickd ] || continue
    tr '\0' '\n' <"$environ" 2>/dev/null | grep -qx "TARNWICK_RUN_SH=$$" && kill "$pid" 2>/dev/null
  done
  return 0
}
trap end_started_daemon EXIT
trap 'exit 130' INT TERM
status=0
./build/linux/desktop/tarnwick_desktop || status=$?
exit $status
