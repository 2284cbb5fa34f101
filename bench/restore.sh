#!/usr/bin/env bash
# Getting files back, on the same archive as `unzip -o`:
#   bash bench/restore.sh <build-dir>
# 1. Listing and searching 200 archives of 20,000 entries each (restorebench catalog).
# 2. Restoring a folder of about 1.45 GB (two copies of the mixed tree and the small tree of benchtree, about
#    60,000 files) from the archive our engine made of it, against `unzip -o -q` of the same
#    archive; runs alternate, the median is shown, peak memory is the largest seen.
# Environment: BENCH_RUNS (default 3), TESSALY_BENCHDATA (default /work/benchdata; the data is
# written there and removed at the end).
set -euo pipefail

build=$(cd "${1:?usage: bash bench/restore.sh <build-dir>}" && pwd)
data=${TESSALY_BENCHDATA:-/work/benchdata}
runs=${BENCH_RUNS:-3}
timer=/usr/bin/time
[ -x "$timer" ] || { echo "restore.sh: $timer is missing (Debian package 'time')" >&2; exit 1; }
command -v unzip >/dev/null || { echo "restore.sh: unzip is missing" >&2; exit 1; }

mkdir -p "$data"
work=$(mktemp -d "$data/restorebench.XXXXXX")
trap 'rm -rf "$work"' EXIT
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
maximum() { sort -g | tail -n 1; }

echo "-- 200 archives of 20,000 entries"
"$timer" -f 'whole run: %e s, peak resident %M KB' "$build/bench/restorebench" catalog "$work/catalog"
rm -rf "$work/catalog"

echo "-- restoring a folder of about 1.45 GB"
tree="$work/tree"
"$build/bench/benchtree" mixed "$tree/one"
"$build/bench/benchtree" mixed "$tree/two"
"$build/bench/benchtree" small "$tree/small"
"$build/bench/zipbench" "$work/folder.zip" "$tree" >/dev/null
rm -rf "$tree"
input=$(unzip -Zt "$work/folder.zip" | awk '{ print $3 }')
files=$(unzip -Z1 "$work/folder.zip" | grep -vc '/$')
for ((i = 1; i <= runs; i++)); do
    for tool in tessaly unzip; do
        rm -rf "$work/out"
        mkdir -p "$work/out"
        sync
        if [ "$tool" = tessaly ]; then
            "$timer" -f '%e %M' -o "$work/time" "$build/bench/restorebench" restore "$work/folder.zip" "$work/out" >/dev/null
        else
            "$timer" -f '%e %M' -o "$work/time" unzip -o -q "$work/folder.zip" -d "$work/out"
        fi
        cat "$work/time" >>"$work/$tool.runs"
    done
done
awk -v f="$files" -v i="$input" -v r="$runs" -v l="$(cut -d' ' -f1-3 /proc/loadavg)" \
    'BEGIN { printf "%d files, %.1f MB, median of %d runs (load average at the end %s)\n", f, i / 1e6, r, l }'
printf '| %-8s | %7s | %7s | %12s |\n' tool "wall s" "MB/s" "peak RSS MB"
printf '|%s|%s|%s|%s|\n' ---------- --------- --------- --------------
for tool in tessaly unzip; do
    wall=$(cut -d' ' -f1 "$work/$tool.runs" | median)
    rss=$(cut -d' ' -f2 "$work/$tool.runs" | maximum)
    awk -v n="$tool" -v w="$wall" -v i="$input" -v m="$rss" \
        'BEGIN { printf "| %-8s | %7.2f | %7.1f | %12.1f |\n", n, w, i / 1e6 / w, m / 1024 }'
done
