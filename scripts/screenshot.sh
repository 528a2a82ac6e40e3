#!/usr/bin/env bash
# Renders sealtool's main window on the simulated machine, with a photo taken and a stamp
# position clicked, under a virtual X server, and saves it as docs/sealtool.png.
#   scripts/screenshot.sh [build directory]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
[ -d "$build_dir" ] || cmake -S . -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2 --target sealtool_screenshot >/dev/null

files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
mkdir -p "$files/log" "$files/cut" docs
export STAMPCTL_SIMULATOR=1 STAMPCTL_BASE_DIR=$files QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1600x900x24" "$build_dir/sealtool/sealtool_screenshot" docs/sealtool.png
echo "Saved docs/sealtool.png"
