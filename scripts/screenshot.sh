#!/usr/bin/env bash
# Renders sealtool's main window on the simulated machine, with a photo taken and a stamp
# position clicked, under a virtual X server, and saves it as docs/sealtool.png; with --page,
# the service's stamping page in headless Chromium after a stamp instead, as
# docs/service-page.png (the browser test's own run, stopped for a picture).
#   scripts/screenshot.sh [--page] [build directory]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

page=no
if [ "${1:-}" = "--page" ]; then
  page=yes
  shift
fi
build_dir=${1:-build}
[ -d "$build_dir" ] || cmake -S . -B "$build_dir" >/dev/null
mkdir -p docs

if [ "$page" = yes ]; then
  cmake --build "$build_dir" -j2 --target stampctl_cli >/dev/null
  # Debian's python3-selenium belongs to the system's interpreter.
  /usr/bin/python3 tests/serve_page/page_test.py "$build_dir/cli/stampctl" serve/www --screenshot docs/service-page.png
  exit
fi

cmake --build "$build_dir" -j2 --target sealtool_screenshot >/dev/null
files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
mkdir -p "$files/log" "$files/cut"
export STAMPCTL_SIMULATOR=1 STAMPCTL_BASE_DIR=$files QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1600x900x24" "$build_dir/sealtool/sealtool_screenshot" docs/sealtool.png
echo "Saved docs/sealtool.png"
