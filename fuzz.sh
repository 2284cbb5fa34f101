#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (into build-fuzz/) and runs each on its seed corpus.
#   ./fuzz.sh                        every target for 60 seconds
#   ./fuzz.sh 1800 FuzzDeflateWalk   one target for 30 minutes
#   ./fuzz.sh --seeds                writes the seed corpora in fuzz/corpus afresh
# Inputs the runs find go to build-fuzz/fuzz/corpus/<target> (the seeds in the tree stay as they
# are); an input that breaks a property, crashes, hangs or takes too much memory is kept in
# build-fuzz/fuzz/findings/ and the script fails.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
dir="$ROOT/build-fuzz"
if [ ! -f "$dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSALY_TESTS=OFF \
        -DTESSALY_FUZZ=ON >/dev/null || exit 1
fi

if [ "${1:-}" = "--seeds" ]; then
    cmake --build "$dir" --parallel "$(nproc)" --target fuzzseeds || exit 1
    rm -rf "$ROOT/fuzz/corpus"
    "$dir/fuzz/fuzzseeds" "$ROOT/fuzz/corpus"
    exit 0
fi

seconds=${1:-60}
[ $# -gt 0 ] && shift
cmake --build "$dir" --parallel "$(nproc)" --target fuzzers || exit 1
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(FuzzCentralDirectory FuzzDeflateWalk FuzzEntryRecord FuzzEntryName)

failed=0
for target in "${targets[@]}"; do
    # Room for a name of 65,535 bytes in both headers of an archive; the others need less.
    case "$target" in
        FuzzCentralDirectory) max_len=262144 ;;
        FuzzDeflateWalk) max_len=65536 ;;
        *) max_len=8192 ;;
    esac
    work="$dir/fuzz/corpus/$target"
    findings="$dir/fuzz/findings"
    log="$dir/fuzz/$target.log"
    mkdir -p "$work" "$findings"
    # One allocation beyond 64 MB is more than any input of these sizes justifies.
    if "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=64 \
        -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$findings/$target-" \
        "$work" "$ROOT/fuzz/corpus/$target" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -1)
        say "$target: $runs runs in $seconds s, $coverage"
    else
        failed=1
        say "$target FAILED: see $log and $findings"
        grep -E 'property broken|ERROR|SUMMARY|Test unit written' "$log" >&2 || true
    fi
done
exit "$failed"
