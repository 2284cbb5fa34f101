#!/usr/bin/env bash
# The real program closed while it reads a file from a disk that never answers (a FUSE layer whose
# reads never return): on SIGTERM the program ends within seconds, the previous archive is
# untouched, and the temporary it leaves is swept by the next run. The kernel keeps the one thread
# whose read the FUSE layer has taken until the layer answers or goes: until then the process is
# a zombie whose program has ended (no window, no tray icon, nothing running of its own).
#   close-on-slow-disk.sh PROGRAM
program=${1:?usage: close-on-slow-disk.sh PROGRAM}
extra_tools="unzip"
if [ "$(id -u)" -ne 0 ] || [ ! -e /dev/fuse ] || ! /usr/bin/python3 -c 'import fusepy' 2>/dev/null; then
    echo "skipped: the FUSE layer needs root, /dev/fuse and python3-fusepy"
    exit 77
fi
source "$(dirname "$0")/../support/x-session.sh"

slow="$work/Slow"
backups="$work/Backups"
archive="$backups/Backup Slow.zip"
mkdir -p "$work/slow-source" "$slow" "$backups"
head -c $((4 << 20)) /dev/urandom >"$work/slow-source/big.bin"
echo "previous" >"$work/previous.txt"
(cd "$work" && zip -q "$archive" previous.txt)
previous=$(sha1sum <"$archive")

/usr/bin/python3 "$(dirname "$0")/../support/slowfs.py" "$work/slow-source" "$slow" -1 "$work/first-read" \
    >"$work/slowfs.log" 2>&1 &
slowfs_pid=$!
# The stuck reads end when the layer goes; its mount point is freed before the folder is removed.
trap 'kill -KILL "$slowfs_pid" 2>/dev/null; wait "$slowfs_pid" 2>/dev/null; umount -l "$slow" 2>/dev/null; cleanup' EXIT
poll 30 test -e "$slow/big.bin" || fail "the FUSE layer did not mount"

# A timed run every 5 seconds of the one folder on the stalled disk.
printf '[General]\nFolders="%s;"\nPath=%s\nCheck1=0\nCheck2=0\nOftenIndex=1\nStartStopState=On\n' \
    "$slow" "$backups" >"$store"
"$program" >>"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
poll 60 test -e "$work/first-read" || fail "the run did not start reading"
sleep 1
step "SIGTERM while a read does not return"
start=$(date +%s%N)
kill -TERM "$program_pid"
# Its main thread is gone: the process is a zombie, or gone too.
exited() { ended || grep -q '^State:[[:space:]]*Z' "/proc/$program_pid/status" 2>/dev/null; }
poll 30 exited || fail "the program did not end within 30 seconds of SIGTERM"
took=$((($(date +%s%N) - start) / 1000000))
echo "ended ${took} ms after SIGTERM"
[ "$took" -lt 10000 ] || fail "the program took ${took} ms to end"
[ "$(sha1sum <"$archive")" = "$previous" ] || fail "the previous archive was changed"
ls -A "$backups" | grep -q '^\.tessaly-tmp-' || fail "no temporary was left: $(ls -A "$backups")"

step "the FUSE layer goes; the next run sweeps the temporary"
kill -KILL "$slowfs_pid"
wait "$slowfs_pid" 2>/dev/null
umount -l "$slow"
poll 30 ended || fail "the process did not go with the FUSE layer"
wait "$program_pid"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "now readable" >"$slow/small.txt"
"$program" >>"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
swept() { [ "$(sha1sum <"$archive")" != "$previous" ] && ! ls -A "$backups" | grep -q '^\.tessaly-tmp-'; }
poll 60 swept || fail "the next run did not replace the archive and sweep the temporary: $(ls -A "$backups")"
unzip -tq "$archive" >/dev/null || fail "the new archive does not test"
stop_program
echo "PASS"
