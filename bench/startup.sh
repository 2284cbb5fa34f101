#!/usr/bin/env bash
# Start-up benchmark: time from process start until the main window is mapped on an X display,
# resident memory once idle, and CPU used while idle (the countdown ticking every second).
# usage: bench/startup.sh <build-dir>
set -euo pipefail
build=${1:?build dir}
runs=${RUNS:-7}
work=$(mktemp -d)
trap 'kill ${xvfb:-} 2>/dev/null || true; rm -rf "$work"' EXIT

# Xvfb picks a free display number and writes it to the pipe once it accepts clients.
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null & echo "pid $!")
read -r _ xvfb <&3
read -r number <&3
export DISPLAY=:$number

export XDG_CONFIG_HOME=$work/config TEMP=$work/temp
mkdir -p "$XDG_CONFIG_HOME" "$TEMP"

times=()
for run in $(seq "$runs"); do
    start=$(date +%s%N)
    "$build/tessaly" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" --name '^Tessaly$' >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "tessaly ended before showing its window" >&2; exit 1; }
        sleep 0.005
    done
    times+=($(( ($(date +%s%N) - start) / 1000000 )))
    if [ "$run" -eq "$runs" ]; then
        sleep 3
        rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
        ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
        before=$(ticks)
        sleep 10
        after=$(ticks)
        hz=$(getconf CLK_TCK)
    fi
    kill -TERM "$pid"
    wait "$pid" || true
done

median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
printf 'start to window shown: median %s ms over %s runs (all: %s)\n' "$median" "$runs" "${times[*]}"
printf 'resident memory when idle: %s MB\n' "$(awk -v k="$rss" 'BEGIN {printf "%.1f", k/1024}')"
printf 'CPU while idle for 10 s: %s%%\n' "$(awk -v d=$((after - before)) -v hz="$hz" 'BEGIN {printf "%.2f", 100*d/hz/10}')"
