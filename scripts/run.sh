#!/usr/bin/env bash
# Installs what is needed, builds the Linux program and runs it on the current display (or in a
# virtual one when there is none).
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"
./scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build build/linux -j2 --target runtime_demo
if [ -n "${DISPLAY:-}" ]; then
  exec ./build/linux/demo/runtime_demo
fi
exec xvfb-run -a ./build/linux/demo/runtime_demo
