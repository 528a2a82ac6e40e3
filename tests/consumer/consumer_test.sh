#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds the consumer against it through CMake and
# through pkg-config, and runs both on the simulated machine.
#   consumer_test.sh BUILD_DIR C_COMPILER
set -euo pipefail
build_dir=$1
cc=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libstampctl.so' -print -quit)")

cmake -S "$here" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046  # pkg-config's flags are meant to split
"$cc" -o "$work/consumer-pc" "$here/consumer.c" $(pkg-config --cflags --libs stampctl) \
  -Wl,-rpath,"$(pkg-config --variable=libdir stampctl)"

export STAMPCTL_SIMULATOR=1 STAMPCTL_BASE_DIR=$work/base
mkdir -p "$STAMPCTL_BASE_DIR/log" "$STAMPCTL_BASE_DIR/cut"
for program in "$work/cmake-build/consumer" "$work/consumer-pc"; do
  # Each must run on the installed library, not on the build tree's.
  linked=$(ldd "$program" | awk '$1 == "libstampctl.so.1" { print $3 }')
  [ "$(readlink -f "$linked")" = "$(readlink -f "$libdir/libstampctl.so.1")" ] ||
    { echo "${program##*/} runs on '$linked', not on the installed library"; exit 1; }
  echo "${program##*/}: $("$program")"
done
# The library traced into the directory it was given.
grep -q "_connMachine return:0" "$STAMPCTL_BASE_DIR"/log/* || { echo "no trace of the connection"; exit 1; }
