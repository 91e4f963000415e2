#!/usr/bin/env bash
# Builds Velmora and opens it on a fresh copy of the demo store, so that nothing done in the demo changes the
# repository.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)"

demo=$(mktemp -d "${TMPDIR:-/tmp}/velmora-demo.XXXXXX")
cp -a examples/demo-store/. "$demo/"
echo "Demo store copied to $demo"

if [ ! -x build/release/app/velmora ]; then
    echo "The window is not built yet; try: build/release/cli/velmora-cli --store '$demo' search"
    exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot open."
    echo "Run it under a virtual display:  xvfb-run -a build/release/app/velmora '$demo'"
    echo "or use the command-line tool:   build/release/cli/velmora-cli --store '$demo' search"
    exit 1
fi
exec build/release/app/velmora "$demo"
