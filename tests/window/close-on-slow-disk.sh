#!/usr/bin/env bash
# The real program closed (SIGTERM) while it reads a file through a FUSE layer that answers each
# read call after a tenth of a second: it ends at once and cleanly, as the cancel reaches the reader
# within one call. Then through a layer whose reads never return: the program still ends within
# seconds, though the kernel keeps the thread whose read the layer has taken (the process stays a
# zombie) until the layer goes. The previous archive is never touched, and the temporary left
# behind is swept by the next run.
#   close-on-slow-disk.sh PROGRAM
program=${1:?usage: close-on-slow-disk.sh PROGRAM}
extra_tools="unzip zip"
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
# A timed run every 5 seconds of the one folder behind the layer.
printf '[General]\nFolders="%s;"\nPath=%s\nCheck1=0\nCheck2=0\nOftenIndex=1\nStartStopState=On\n' \
    "$slow" "$backups" >"$store"

# start_layer SECONDS: each read request of the file waits that long (for ever when negative).
start_layer() {
    /usr/bin/python3 "$(dirname "$0")/../zip/faultfs.py" "$work/slow-source" "$slow" --slow "big.bin:$1" \
        --requests serial >>"$work/faultfs.log" 2>&1 &
    layer_pid=$!
    poll 30 test -e "$slow/big.bin" || fail "the FUSE layer did not mount"
}
stop_layer() { kill -KILL "$layer_pid" 2>/dev/null; wait "$layer_pid" 2>/dev/null; umount -l "$slow" 2>/dev/null; }
temporary_left() { ls -A "$backups" | grep -q '^\.tessaly-tmp-'; }
# The stuck reads end with the layer; its mount point is freed before the folder is removed.
trap 'stop_layer; cleanup' EXIT
start_program() { "$program" >>"$work/program.log" 2>&1 & program_pid=$! && pids+=("$program_pid"); }
close_while_reading() {
    start_program
    # The run reads the file from the moment it has its temporary.
    poll 60 temporary_left || fail "the run did not start writing"
    sleep 1
    step "SIGTERM while a read is under way"
    start=$(date +%s%N)
    kill -TERM "$program_pid"
}
# poll_ended SECONDS CHECK: how many milliseconds after SIGTERM the check held.
poll_ended() {
    poll "$1" "$2" || fail "the program did not end within $1 seconds of SIGTERM"
    took=$((($(date +%s%N) - start) / 1000000))
    echo "ended ${took} ms after SIGTERM"
    [ "$took" -lt 10000 ] || fail "the program took ${took} ms to end"
    [ "$(sha1sum <"$archive")" = "$previous" ] || fail "the previous archive was changed"
}
expect_status_0() { wait "$program_pid" || fail "the program ended with status $?"; }

start_layer 0.1
close_while_reading
poll_ended 60 ended
expect_status_0
# The engine stopped with its reader and took its temporary away; one left behind would not have.
! temporary_left || fail "the reader went on after the cancel: a temporary was left"
stop_layer

start_layer -1
close_while_reading
# Its main thread is gone: the process is a zombie, or gone too.
exited() { ended || grep -q '^State:[[:space:]]*Z' "/proc/$program_pid/status" 2>/dev/null; }
poll_ended 30 exited
temporary_left || fail "no temporary was left: $(ls -A "$backups")"
stop_layer
poll 30 ended || fail "the process did not go with the FUSE layer"
expect_status_0

step "the next run sweeps the temporary"
echo "now readable" >"$slow/small.txt"
start_program
swept() { [ "$(sha1sum <"$archive")" != "$previous" ] && ! temporary_left; }
poll 60 swept || fail "the next run did not replace the archive and sweep the temporary: $(ls -A "$backups")"
unzip -tq "$archive" >/dev/null || fail "the new archive does not test"
stop_program
echo "PASS"
