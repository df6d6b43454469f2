#!/usr/bin/env bash
# Installs what is needed, builds the Linux launcher and the stand-in daemon beside it, and runs the
# launcher on the current display (or in a virtual one when there is none). The launcher starts the
# daemon when none runs.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
./scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build build/linux -j2 --target tarnwick_desktop tarnwickd
if [ -n "${DISPLAY:-}" ]; then
  exec ./build/linux/desktop/tarnwick_desktop
fi
exec xvfb-run -a ./build/linux/desktop/tarnwick_desktop
