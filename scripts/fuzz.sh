#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, AddressSanitizer + UBSan) in build-fuzz/ and
# runs each from its seed corpus in tests/fuzz/corpus/<target>.
#   scripts/fuzz.sh                      a bounded number of runs of each (about a minute in all)
#   scripts/fuzz.sh --minutes N          each target for N minutes; what it learns stays in
#                                        build-fuzz/corpus/<target> for the next long run
#   scripts/fuzz.sh ... --only TARGET    just this one (replies, config or photo)
# A crash, a sanitizer report or a hang stops the run; the input that caused it is saved as
# build-fuzz/artifacts/<target>-crash-* (replay: build-fuzz/tests/fuzz/fuzz_<target> FILE).
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(replies config photo)
# A bounded run of each target: this many inputs, or 20 s if that comes first (a loaded machine).
declare -A bounded_runs=([replies]=10000 [config]=20000 [photo]=15000)
bounded_seconds=20
minutes=
while (($#)); do
  case $1 in
  --minutes) minutes=${2:?--minutes needs a number}; shift 2 ;;
  --only) targets=("${2:?--only needs a target}"); shift 2 ;;
  *) sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done

command -v clang++ >/dev/null || { echo "clang is missing: run scripts/setup.sh first" >&2; exit 1; }
build=build-fuzz  # CMakePresets.json's fuzz configuration
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}" >"$build/build.log" 2>&1 ||
  { tail -40 "$build/build.log"; exit 1; }

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
mkdir -p "$build/artifacts"
for t in "${targets[@]}"; do
  seeds=tests/fuzz/corpus/$t
  work=$build/corpus/$t
  if [ -n "$minutes" ]; then
    limit=(-max_total_time=$((minutes * 60)))
  else
    rm -rf "$work"  # a bounded run starts from the seeds alone, as in CI
    limit=(-runs="${bounded_runs[$t]}" -max_total_time=$bounded_seconds)
  fi
  mkdir -p "$work"
  echo "=== fuzz_$t: ${limit[*]}"
  "$build/tests/fuzz/fuzz_$t" "$work" "$seeds" "${limit[@]}" -max_len=4096 -timeout=20 \
    -artifact_prefix="$build/artifacts/$t-" -print_final_stats=1 2>"$build/fuzz_$t.log" ||
    { tail -60 "$build/fuzz_$t.log"; echo "fuzz_$t FAILED (log: $build/fuzz_$t.log)"; exit 1; }
  grep -E '^Done|stat::number_of_executed_units|stat::average_exec_per_sec' "$build/fuzz_$t.log" || true
  echo "corpus: $(find "$seeds" -type f | wc -l) seeds, $(find "$work" -type f | wc -l) inputs found"
done
