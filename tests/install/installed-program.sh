#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout a desktop expects, starts the installed
# program headless through its bin/ link and checks that it found the files beside it and that it
# closes cleanly on SIGTERM, saving the folder list.
# usage: installed-program.sh <build-dir>
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

program_dir=$prefix/lib/tessaly
[ "$(readlink "$prefix/bin/tessaly")" = "../lib/tessaly/tessaly" ] || fail "bin/tessaly does not link to lib/tessaly/tessaly"
for file in tessaly HAND-M.CUR drag.ico Samples; do
    [ -e "$program_dir/$file" ] || fail "$file is not installed beside the program"
done
desktop=$prefix/share/applications/tessaly.desktop
for key in Name GenericName Comment Exec Icon Categories StartupWMClass; do
    grep -q "^$key=" "$desktop" || fail "the menu entry has no $key"
done
grep -qx 'Categories=Utility;Archiving;' "$desktop" || fail "the menu entry's categories"
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
    [ -s "$prefix/share/icons/hicolor/$size/apps/tessaly.png" ] || fail "no $size icon"
done
[ -s "$prefix/share/icons/hicolor/scalable/apps/tessaly.svg" ] || fail "no scalable icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "the menu entry does not validate"
fi

# The program's lock and socket go in a runtime folder of its own.
export XDG_CONFIG_HOME=$work/config TEMP=$work/temp XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/Quarnell" "$TEMP"
mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[General]\nFolders="/srv/one;/srv/two;"\nStartStopState=Off\n' > "$XDG_CONFIG_HOME/Quarnell/Tessaly.conf"
store=$XDG_CONFIG_HOME/Quarnell/Tessaly.conf

strace -f -qq -e trace=openat -o "$work/opened" "$prefix/bin/tessaly" >"$work/out" 2>&1 &
tracer=$!
# Start-up writes the restored prefix back to the store; wait for it, however slow the machine.
for _ in $(seq 600); do grep -q '^Text1=' "$store" 2>/dev/null && break; sleep 0.1; done
grep -q '^Text1=' "$store" || fail "the installed program did not start: $(cat "$work/out")"
sed -i 's/^Folders=.*/Folders=/' "$store"
pid=$(pgrep -P "$tracer" -x tessaly) || fail "the program is not running under strace"
kill -TERM "$pid"
status=0
wait "$tracer" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status after SIGTERM"
grep -qx 'Folders="/srv/one;/srv/two;"' "$store" || fail "the folder list was not saved at close: $(cat "$store")"
grep -E "openat\(.*\"$program_dir/HAND-M.CUR\".*= [0-9]+$" "$work/opened" >/dev/null ||
    fail "the hand pointer beside the installed program was not opened"
echo "installed program: layout, start-up, files beside it and SIGTERM all fine"
