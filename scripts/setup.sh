#!/usr/bin/env bash
# Installs what is missing from Debian's packages, then configures and builds.
#   scripts/setup.sh              plain build in build/
#   scripts/setup.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/setup.sh --tsan       ThreadSanitizer build of the test programs that start threads, in
#                                 build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake pkg-config ccache
  qtbase5-dev qtmultimedia5-dev libqt5multimedia5-plugins
  libopencv-dev libusb-1.0-0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  umockdev libumockdev-dev
  xvfb xauth fonts-noto-cjk
  clang libfuzzer-14-dev
  lintian dpkg-dev file
  libcli11-dev nlohmann-json3-dev
  libcpp-httplib-dev libssl-dev
  qttranslations5-l10n
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The configurations are CMakePresets.json's: plain in build/, sanitize in build-asan/, tsan in
# build-tsan/ (which also names the test programs that start threads). STAMPCTL_WERROR=ON (CI
# sets it) turns warnings into errors.
preset=plain
[ "${1:-}" = "--sanitize" ] && preset=sanitize
[ "${1:-}" = "--tsan" ] && preset=tsan

cmake --preset "$preset" -DSTAMPCTL_WERROR="${STAMPCTL_WERROR:-OFF}" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" 2>&1 | grep -Ev '^\[ *[0-9]+%\]|^(Scanning|Consolidate)' || true
# The build's own status decides, not the filter above.
cmake --build --preset "$preset" -j"$(nproc)" >/dev/null
echo "Built: preset $preset (CMakePresets.json)"
