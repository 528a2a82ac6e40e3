#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo on the simulated machine (no display,
# no hardware). Its files (trace log, photos) go to build/demo-files.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
files=$PWD/build/demo-files
mkdir -p "$files/log" "$files/cut"
export STAMPCTL_SIMULATOR=1 STAMPCTL_BASE_DIR=$files QT_QPA_PLATFORM=offscreen
exec build/examples/stampctl_demo "$@"
