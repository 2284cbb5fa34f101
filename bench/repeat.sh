#!/usr/bin/env bash
# Repeat backups, side by side on the same tree states: our engine (through ZipFileSet, as a backup
# run calls it, into the same archive name as the run before), Info-ZIP's file sync
# `zip -FS -r -q -6` and 7-Zip's update `7zz u -tzip -mx5`, each updating its own archive.
#   bash bench/repeat.sh <build-dir>
# Each round changes 1% of the files (new contents, same size: the hardest case for a tool that
# trusts sizes and times) and lets every tool bring its archive up to date, in turns; then each
# tool runs again on the unchanged tree. Changed files are left to age for 3 s before the tools
# run, as files a user changed some time before the backup do (a file changed in the last two
# seconds before a run is compressed again by the next run too).
# Environment: BENCH_RUNS (rounds, default 3; the median is shown), BENCH_TREES (default
# "mixed small"), TESSALY_BENCHDATA (default /work/benchdata), BENCH_SETTLE (seconds to leave the
# new tree alone before the first runs, default 0: files changed less than two minutes before a
# run are read again by the next one, so a tree written just now is read whole until it settles).
set -euo pipefail

build=$(cd "${1:?usage: bash bench/repeat.sh <build-dir>}" && pwd)
data=${TESSALY_BENCHDATA:-/work/benchdata}
runs=${BENCH_RUNS:-3}
trees=${BENCH_TREES:-mixed small}
for tool in zip 7zz unzip python3; do
    command -v "$tool" >/dev/null || { echo "repeat.sh: $tool is missing" >&2; exit 1; }
done

mkdir -p "$data"
work=$(mktemp -d "$data/repeatbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A settings folder of the benchmark's own (the engine keeps its signing key there).
export XDG_CONFIG_HOME="$work/config"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# run_tool NAME TREE ARCHIVE : brings ARCHIVE up to date with TREE; prints the wall time
run_tool() {
    local name=$1 tree=$2 archive=$3 start end
    sync # what the tool before left for the disk is not this one's to wait for
    start=$EPOCHREALTIME
    case $name in
    tessaly) "$build/bench/zipbench" "$archive" "$tree" >/dev/null ;;
    zip-FS) (cd / && zip -FS -r -q -6 "$archive" "${tree#/}" -x '*/.*') ;;
    7z-u) (cd / && 7zz u -tzip -mx5 -bd -bso0 -bsp0 '-xr!.*' "$archive" "${tree#/}") ;;
    esac
    end=$EPOCHREALTIME
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

# change_files TREE ROUND : rewrites 1% of the files (a different 1% each round), keeping sizes
change_files() {
    find "$1" -type f -not -path '*/.*' | sort | awk -v r="$2" 'NR % 100 == r' | python3 -c 'import os, sys
for line in sys.stdin:
    p = line.rstrip("\n"); n = os.path.getsize(p)
    with open(p, "r+b") as f:
        f.write(os.urandom(min(n, 64)))'
}

tools="tessaly zip-FS 7z-u"
for kind in $trees; do
    tree="$work/trees/$kind"
    "$build/bench/benchtree" "$kind" "$tree"
    sleep "${BENCH_SETTLE:-0}"
    files=$(find "$tree" -type f -not -path '*/.*' | wc -l)
    for name in $tools; do
        run_tool "$name" "$tree" "$work/$name.zip" >/dev/null
    done
    rm -f "$work"/*.times
    for ((i = 1; i <= runs; i++)); do
        change_files "$tree" "$i"
        sleep 3
        for name in $tools; do
            run_tool "$name" "$tree" "$work/$name.zip" >>"$work/$name.changed.times"
        done
        for name in $tools; do
            run_tool "$name" "$tree" "$work/$name.zip" >>"$work/$name.same.times"
        done
    done
    # The updated archive must hold exactly the tree, read by others.
    unzip -tq "$work/tessaly.zip" >/dev/null || { echo "repeat.sh: unzip -t rejects our archive" >&2; exit 1; }
    7zz t "$work/tessaly.zip" >/dev/null || { echo "repeat.sh: 7zz t rejects our archive" >&2; exit 1; }
    python3 - "$work/tessaly.zip" "$tree" <<'PY' || { echo "repeat.sh: our archive does not match the tree" >&2; exit 1; }
import os, sys, zipfile, hashlib
archive, tree = sys.argv[1], sys.argv[2]
want = {}
for root, dirs, names in os.walk(tree):
    dirs[:] = [d for d in dirs if not d.startswith('.')]
    for n in names:
        if not n.startswith('.'):
            p = os.path.join(root, n)
            want[p[1:]] = hashlib.sha1(open(p, 'rb').read()).hexdigest()
with zipfile.ZipFile(archive) as z:
    got = {i.filename: hashlib.sha1(z.read(i)).hexdigest() for i in z.infolist() if not i.is_dir()}
sys.exit(0 if got == want else 1)
PY

    printf '\n%s tree: %d files, median of %d rounds (load average at the end %s)\n' "$kind" "$files" "$runs" \
        "$(cut -d' ' -f1-3 /proc/loadavg)"
    printf '| %-8s | %14s | %14s |\n' tool "1% changed, s" "unchanged, s"
    printf '|%s|%s|%s|\n' ---------- ---------------- ----------------
    for name in $tools; do
        printf '| %-8s | %14s | %14s |\n' "$name" "$(median <"$work/$name.changed.times")" "$(median <"$work/$name.same.times")"
    done
    ours_changed=$(median <"$work/tessaly.changed.times")
    ours_same=$(median <"$work/tessaly.same.times")
    awk -v z="$(median <"$work/zip-FS.changed.times")" -v o="$ours_changed" -v zs="$(median <"$work/zip-FS.same.times")" -v os="$ours_same" \
        'BEGIN { printf "zip-FS time / ours: %.2f with 1%% changed (bar 0.8), %.2f unchanged (bar 0.5)\n", z / o, zs / os }'
    rm -rf "$tree" "$work"/*.zip
done
