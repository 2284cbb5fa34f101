#!/usr/bin/env bash
# Many small files: time per file and memory per file of our engine (through ZipFileSet, as a
# backup run calls it) against Info-ZIP `zip -r -q -6` and 7-Zip's ZIP writer, on trees of 64-byte
# files and of 1 to 8 KB files, at 50,000 and 200,000 files, each tool in turn, repeated.
#   bash bench/scale.sh <build-dir>
# Environment: BENCH_RUNS (default 3; medians are shown), TESSALY_BENCHDATA (default
# /work/benchdata), BENCH_SCALE_TREES (default "tiny:50000 small:50000 tiny:200000 small:200000"),
# BENCH_BASELINE (another build's zipbench, run in the same turns as "before"),
# BENCH_SEVENZIP (default 1: also 7zz -mx5; 0 leaves it out).
# Our runs include the flush to the disk and the read-back check; zip's and 7-Zip's have neither.
set -euo pipefail

build=$(cd "${1:?usage: bash bench/scale.sh <build-dir>}" && pwd)
data=${TESSALY_BENCHDATA:-/work/benchdata}
runs=${BENCH_RUNS:-3}
trees=${BENCH_SCALE_TREES:-tiny:50000 small:50000 tiny:200000 small:200000}
timer=/usr/bin/time
[ -x "$timer" ] || { echo "scale.sh: $timer is missing (Debian package 'time')" >&2; exit 1; }

mkdir -p "$data"
work=$(mktemp -d "$data/scalebench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

tools="tessaly zip"
[ -n "${BENCH_BASELINE:-}" ] && tools="before $tools"
[ "${BENCH_SEVENZIP:-1}" = 1 ] && tools="$tools 7z-mx5"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# run_tool NAME TREE ARCHIVE : one run; appends "wall cpu rss_kb gap_ms size" to $work/NAME.runs
run_tool() {
    local name=$1 tree=$2 archive=$3 gap=- out
    rm -f "$archive"
    sync
    case $name in
    tessaly | before)
        local engine="$build/bench/zipbench"
        [ "$name" = before ] && engine=$BENCH_BASELINE
        out=$("$timer" -f '%e %U %S %M' -o "$work/time" "$engine" "$archive" "$tree")
        gap=$(printf '%s\n' "$out" | sed -n 's/.*longest_gap_ms=\([0-9]*\).*/\1/p' | head -n 1)
        ;;
    zip) (cd / && "$timer" -f '%e %U %S %M' -o "$work/time" zip -r -q -6 "$archive" "${tree#/}" -x '*/.*') ;;
    7z-mx5)
        (cd / && "$timer" -f '%e %U %S %M' -o "$work/time" \
            7zz a -tzip -mx5 -bd -bso0 -bsp0 '-xr!.*' "$archive" "${tree#/}")
        ;;
    esac
    read -r wall user system rss <"$work/time"
    echo "$wall $(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') $rss $gap $(stat -c %s "$archive")" \
        >>"$work/$name.runs"
}

printf 'scale: %s runs per tool, load average at the start %s\n' "$runs" "$(cut -d' ' -f1-3 /proc/loadavg)"
for kind_and_count in $trees; do
    kind=${kind_and_count%%:*}
    count=${kind_and_count##*:}
    tree="$work/trees/$kind-$count"
    "$build/bench/benchtree" "$kind" "$tree" "$count"
    rm -f "$work"/*.runs
    for ((i = 1; i <= runs; i++)); do
        for name in $tools; do
            run_tool "$name" "$tree" "$work/$name.zip"
        done
    done
    unzip -tq "$work/tessaly.zip" >/dev/null || { echo "scale.sh: unzip -t rejects our archive" >&2; exit 1; }
    printf '\n%s tree, %d files (load average at the end %s)\n' "$kind" "$count" "$(cut -d' ' -f1-3 /proc/loadavg)"
    printf '| %-8s | %7s | %7s | %8s | %12s | %11s | %10s | %8s |\n' tool "wall s" "CPU s" "us/file" \
        "peak RSS MB" "zip / tool" "archive MB" "gap ms"
    printf '|%s|%s|%s|%s|%s|%s|%s|%s|\n' ---------- --------- --------- ---------- -------------- \
        ------------- ------------ ----------
    zipwall=$(cut -d' ' -f1 "$work/zip.runs" | median)
    for name in $tools; do
        wall=$(cut -d' ' -f1 "$work/$name.runs" | median)
        cpu=$(cut -d' ' -f2 "$work/$name.runs" | median)
        rss=$(cut -d' ' -f3 "$work/$name.runs" | median)
        gap=$(cut -d' ' -f4 "$work/$name.runs" | sort -g | tail -n 1)
        size=$(cut -d' ' -f5 "$work/$name.runs" | median)
        awk -v n="$name" -v w="$wall" -v c="$cpu" -v f="$count" -v m="$rss" -v z="$zipwall" -v s="$size" -v g="$gap" \
            'BEGIN { printf "| %-8s | %7.2f | %7.2f | %8.1f | %12.1f | %11.2f | %10.1f | %8s |\n", n, w, c, w * 1e6 / f, m / 1024, z / w, s / 1e6, g }'
        echo "$kind $count $name $wall $rss" >>"$work/summary"
    done
    rm -rf "$tree" "$work"/*.zip
done

# Growth from 50,000 to 200,000 files of a kind: time ratio (linear is 4) and memory per file.
echo
for kind in tiny small; do
    for name in $tools; do
        [ "$name" = zip ] || [ "$name" = 7z-mx5 ] && continue
        awk -v k="$kind" -v n="$name" '$1 == k && $3 == n { w[$2] = $4; m[$2] = $5 }
            END { if (w[50000] && w[200000])
                printf "%s, %s: 200,000 files take %.2fx the time of 50,000; memory grows %.0f bytes per file\n",
                    k, n, w[200000] / w[50000], (m[200000] - m[50000]) * 1024 / 150000 }' "$work/summary"
    done
done
