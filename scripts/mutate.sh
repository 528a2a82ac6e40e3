#!/usr/bin/env bash
# Mutation testing: puts one known fault at a time into the library (scripts/mutations.txt),
# rebuilds in build-mutate and runs the tests. A fault that no test notices is a gap in the suite.
#   scripts/mutate.sh                  every mutation
#   scripts/mutate.sh --only ID[,ID]   just these
#   scripts/mutate.sh --list           ids, files and what each fault does
# A mutant is killed when a test fails: first the tests of the mutated folder, then, if those
# pass, the rest of the suite. A mutant that does not compile is invalid and counts for nothing.
set -uo pipefail
cd "$(dirname "$0")/.."

list=scripts/mutations.txt
build=build-mutate
work=$(cd .. && pwd)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$work} CCACHE_DIR=${CCACHE_DIR:-$work/.ccache}
# Without the build directory in the hash, an object compiled in any build directory of the same
# tree serves this one too: restoring a file costs a cache hit, not a compile.
export CCACHE_NOHASHDIR=1
export QT_QPA_PLATFORM=offscreen

# The list's reader, and the literal (never a pattern) replacement of a snippet.
mutations() {
    python3 - "$list" "$@" <<'PY'
import sys
path, cmd, args = sys.argv[1], sys.argv[2], sys.argv[3:]
muts = []
for n, line in enumerate(open(path, encoding='utf-8'), 1):
    line = line.rstrip('\n')
    if line.startswith('[') and '] ' in line and ' -- ' in line:
        ident, rest = line[1:].split('] ', 1)
        file, desc = rest.split(' -- ', 1)
        muts.append({'id': ident, 'file': file.strip(), 'desc': desc})
    elif line.startswith(('- ', '+ ')) and muts:
        muts[-1]['old' if line[0] == '-' else 'new'] = line[2:]
    elif line.strip() and not line.startswith('#'):
        sys.exit(f'{path}:{n}: not a mutation line')
for m in muts:
    if 'old' not in m or 'new' not in m:
        sys.exit(f"{path}: mutation {m['id']} needs a '- ' and a '+ ' line")
by_id = {m['id']: m for m in muts}
if cmd == 'ids':
    print('\n'.join(m['id'] for m in muts))
elif cmd == 'list':
    for m in muts:
        print(f"{m['id']:28} {m['file']:42} {m['desc']}")
elif cmd in ('file', 'desc'):
    if args[0] not in by_id:
        sys.exit(f'no mutation {args[0]}')
    print(by_id[args[0]][cmd])
elif cmd == 'apply':  # exit 3 without touching the file unless the snippet occurs exactly once
    m = by_id[args[0]]
    with open(m['file'], encoding='utf-8', newline='') as f:
        text = f.read()
    count = text.count(m['old'])
    if count != 1:
        print(count)
        sys.exit(3)
    with open(m['file'], 'w', encoding='utf-8', newline='') as f:
        f.write(text.replace(m['old'], m['new'], 1))
PY
}

ids=()
case "${1:-}" in
--list) mutations list; exit ;;
--only) [ -n "${2:-}" ] || { echo "--only needs ID[,ID]" >&2; exit 2; }
        IFS=, read -r -a ids <<<"$2"
        for id in "${ids[@]}"; do mutations file "$id" >/dev/null || exit 2; done ;;
"") mapfile -t ids < <(mutations ids) || exit 2 ;;
*) sed -n '2,6s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
esac
[ "${#ids[@]}" -gt 0 ] || { echo "no mutations in $list" >&2; exit 2; }

# The file under mutation goes back as it was whatever ends the run; copied, not moved, so that
# its new time makes the next build compile it again.
saved=
restore() { if [ -n "$saved" ]; then cp "$build/original" "$saved"; saved=; fi; }
trap restore EXIT
trap 'restore; echo; echo "interrupted: source restored"; exit 130' INT TERM

mkdir -p "$build"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
          -DSTAMPCTL_BENCH=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
fi
echo "building the unmutated tree in $build ..."
cmake --build "$build" -j2 >"$build/build.log" 2>&1 || { tail -30 "$build/build.log"; exit 1; }

build_target() { cmake --build "$build" -j2 --target "$1" >"$build/build.log" 2>&1; }

# Runs the tests selected by ctest's extra options; on a failure names the first failing test.
run_tests() {
    ctest --test-dir "$build" --stop-on-failure --timeout 60 -j2 "$@" >"$build/test.log" 2>&1 && return 0
    failed=$(grep -m1 -E '\*\*\*|Not Run|Failed  ' "$build/test.log" | sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/')
    return 1
}

killed=0 survived=0 invalid=0 na=0
for id in "${ids[@]}"; do
    file=$(mutations file "$id")
    folder=$(cut -d/ -f2 <<<"$file")  # stampctl/<folder>/...
    [[ $file == stampctl/* ]] || folder=$(cut -d/ -f1 <<<"$file")  # sealtool/..., cli/...
    start=$SECONDS
    cp "$file" "$build/original"
    saved=$file
    if ! count=$(mutations apply "$id"); then
        saved=
        na=$((na + 1))
        printf '%-28s NOT APPLICABLE: the snippet occurs %s times in %s\n' "$id" "${count:-?}" "$file"
        continue
    fi
    # The folder's own test program is built and run first: most mutants die there, long
    # before the whole tree would have been linked again.
    failed=
    target=all
    [ -d "tests/$folder" ] && target=test_$folder
    if ! build_target "$target"; then
        verdict=invalid
    elif ! run_tests -L "^$folder\$"; then
        verdict=killed
    elif ! build_target all; then
        verdict=invalid
    elif ! run_tests -LE "^$folder\$"; then
        verdict=killed
    else
        verdict=SURVIVED
    fi
    case $verdict in
    invalid) invalid=$((invalid + 1)) ;;
    killed) killed=$((killed + 1)); verdict="killed by $failed" ;;
    *) survived=$((survived + 1)) ;;
    esac
    restore
    printf '%-28s %-44s %4ss  %s\n' "$id" "$verdict" $((SECONDS - start)) "$(mutations desc "$id")"
done

echo "killed $killed / survived $survived / invalid $invalid / not applicable $na of ${#ids[@]}"
exit 0
