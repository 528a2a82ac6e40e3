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

build_dir=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
targets=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-asan
  options+=(-DSTAMPCTL_SANITIZE=ON -DSTAMPCTL_BENCH=OFF)
fi
if [ "${1:-}" = "--tsan" ]; then
  build_dir=build-tsan
  options+=(-DSTAMPCTL_TSAN=ON -DSTAMPCTL_BENCH=OFF)
  # The programs whose tests run threads: the camera capture threads, concurrent callers, the
  # trace written from several threads, a disconnect during a stamp, the service tool's stress
  # test, and the HTTP service.
  targets=(--target test_core test_link test_camera test_stamping test_sealtool test_serve)
fi

cmake -S . -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}" 2>&1 | grep -Ev '^\[ *[0-9]+%\]|^(Scanning|Consolidate)' || true
# The build's own status decides, not the filter above.
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}" >/dev/null
echo "Built in $build_dir/"
