#!/usr/bin/env bash
# Builds the Debian package (library, sealtool, stampctl) in the product's layout under
# /opt/apps/cn.orvane.stampctl and checks it with lintian. Needs no network; scripts/setup.sh
# installs the tools.
#   scripts/package.sh    → build/cn.orvane.stampctl_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

for tool in cmake dpkg-shlibdeps lintian file; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh" >&2; exit 1; }
done

build_dir=build/package
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTAMPCTL_PACKAGE_LAYOUT=ON
         -DSTAMPCTL_TESTS=OFF -DSTAMPCTL_BENCH=OFF)
command -v ccache >/dev/null && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Debian's hardening, as its own packages are built (CMake does not read CPPFLAGS by itself).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
options+=("-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
          "-DCMAKE_C_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
          "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
          "-DCMAKE_SHARED_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)")
cmake -S . -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" >/dev/null

rm -rf "$build_dir/cpack"
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(find "$build_dir/cpack" -maxdepth 1 -name '*.deb' -print -quit)
mv -f "$deb" build/
deb=build/${deb##*/}

# Every warning lintian still gives is overridden, with the reason, in packaging/lintian-overrides.
lintian --fail-on error,warning "$deb"
echo "$deb"
