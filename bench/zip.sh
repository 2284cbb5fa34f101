#!/usr/bin/env bash
# Archive speed, side by side on the same trees: our engine (through ZipFileSet, as a backup run
# calls it), Info-ZIP `zip -r -q -6`, and 7-Zip's ZIP writer at -mx1 and -mx5.
#   bash bench/zip.sh <build-dir>
# Environment: BENCH_RUNS (default 3; the median is shown), BENCH_TREES (default "mixed small big"),
# TESSALY_BENCHDATA (default /work/benchdata; the trees are written there and removed at the end).
# Every tool leaves hidden files out and stores the same entry names (the tree's absolute path
# without its leading "/", as our engine stores the patterns a backup run passes), so the archive
# sizes compare.
set -euo pipefail

build=$(cd "${1:?usage: bash bench/zip.sh <build-dir>}" && pwd)
data=${TESSALY_BENCHDATA:-/work/benchdata}
runs=${BENCH_RUNS:-3}
trees=${BENCH_TREES:-mixed small big}
timer=/usr/bin/time
[ -x "$timer" ] || { echo "zip.sh: $timer is missing (Debian package 'time')" >&2; exit 1; }
for tool in zip 7zz unzip; do
    command -v "$tool" >/dev/null || { echo "zip.sh: $tool is missing" >&2; exit 1; }
done

mkdir -p "$data"
work=$(mktemp -d "$data/zipbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A settings folder of the benchmark's own (the engine keeps its signing key there).
export XDG_CONFIG_HOME="$work/config"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { sort -g | tail -n 1; }

# run_tool NAME TREE-DIR ARCHIVE : one timed run; appends "wall rss_kb gap_ms size" to $work/NAME.runs
run_tool() {
    local name=$1 tree=$2 archive=$3 gap=- out
    rm -f "$archive"
    case $name in
    tessaly)
        out=$("$timer" -f '%e %M' -o "$work/time" "$build/bench/zipbench" "$archive" "$tree")
        gap=$(printf '%s\n' "$out" | sed -n 's/.*longest_gap_ms=\([0-9]*\).*/\1/p' | head -n 1)
        ;;
    zip)
        (cd / && "$timer" -f '%e %M' -o "$work/time" zip -r -q -6 "$archive" "${tree#/}" -x '*/.*')
        ;;
    7z-mx1 | 7z-mx5)
        (cd / && "$timer" -f '%e %M' -o "$work/time" \
            7zz a -tzip "-${name#7z-}" -bd -bso0 -bsp0 '-xr!.*' "$archive" "${tree#/}")
        ;;
    esac
    read -r wall rss <"$work/time"
    echo "$wall $rss $gap $(stat -c %s "$archive")" >>"$work/$name.runs"
}

for kind in $trees; do
    tree="$work/trees/$kind"
    "$build/bench/benchtree" "$kind" "$tree"
    input=$(find "$tree" -type f -not -path '*/.*' -printf '%s\n' | awk '{ s += $1 } END { print s }')
    files=$(find "$tree" -type f -not -path '*/.*' | wc -l)
    sync
    tools="tessaly zip 7z-mx1 7z-mx5"
    rm -f "$work"/*.runs
    for ((i = 1; i <= runs; i++)); do
        for name in $tools; do
            run_tool "$name" "$tree" "$work/$name.zip"
        done
    done
    # Our archive must still be one that others read.
    unzip -tq "$work/tessaly.zip" >/dev/null || { echo "zip.sh: unzip -t rejects our archive" >&2; exit 1; }
    7zz t "$work/tessaly.zip" >/dev/null || { echo "zip.sh: 7zz t rejects our archive" >&2; exit 1; }

    awk -v k="$kind" -v f="$files" -v i="$input" -v r="$runs" -v l="$(cut -d' ' -f1-3 /proc/loadavg)" \
        'BEGIN { printf "\n%s tree: %d files, %.1f MB of input, median of %d runs (load average at the end %s)\n", k, f, i / 1e6, r, l }'
    printf '| %-8s | %7s | %7s | %10s | %12s | %20s |\n' tool "wall s" "MB/s" "archive MB" "peak RSS MB" "longest loop gap ms"
    printf '|%s|%s|%s|%s|%s|%s|\n' ---------- --------- --------- ------------ -------------- ----------------------
    for name in $tools; do
        wall=$(cut -d' ' -f1 "$work/$name.runs" | median)
        rss=$(cut -d' ' -f2 "$work/$name.runs" | maximum)
        size=$(cut -d' ' -f4 "$work/$name.runs" | median)
        gap=$(cut -d' ' -f3 "$work/$name.runs" | maximum)
        awk -v n="$name" -v w="$wall" -v i="$input" -v s="$size" -v m="$rss" -v g="$gap" \
            'BEGIN { printf "| %-8s | %7.2f | %7.1f | %10.1f | %12.1f | %20s |\n", n, w, i / 1e6 / w, s / 1e6, m / 1024, g }'
    done
    rm -rf "$tree" "$work"/*.zip
done
