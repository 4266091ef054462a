#!/usr/bin/env bash
# Installs what is missing, builds, and starts Harbinel. Without a display it runs the kiosk
# under a private Xvfb server, saves a screenshot of it and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

if [ ! -x build/harbinel ]; then
  echo "Built the core; the Harbinel window is not part of this build yet."
  exit 0
fi
if [ -n "${DISPLAY:-}" ]; then
  exec build/harbinel
fi
# No accessibility bus runs under Xvfb: keep GTK and WebKit's web process from looking for one.
export GTK_A11Y=none WEBKIT_A11Y_BUS_ADDRESS=
bash scripts/with-display.sh bash scripts/screenshot.sh build/harbinel build/screenshots/kiosk.png
