#!/usr/bin/env bash
# Installs what is missing, builds Morlex and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup.sh

build=build/release
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target morlex

program="$root/$build/tool/morlex"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Morlex is built, but there is no display (DISPLAY and WAYLAND_DISPLAY are empty)."
  echo "Run it on a virtual display with:"
  echo "    xvfb-run -a -s '-screen 0 1280x800x24' $program"
  exit 1
fi
exec "$program" "$@"
