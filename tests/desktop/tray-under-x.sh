#!/usr/bin/env bash
# Starts the program under Xvfb with a window manager (openbox) and a notification area (trayer),
# and uses it as a person would: finds its icon in the tray, minimises the window and sees it go
# into the tray, clicks the icon and sees it back, then ends it with SIGTERM and checks the folder
# list was saved. Exit 77 (skipped) when the X tools are missing.
#   tray-under-x.sh PROGRAM
# TESSALY_SHOTS=DIR keeps a screenshot of each step in DIR.
set -uo pipefail

program=${1:?usage: tray-under-x.sh PROGRAM}
for tool in Xvfb openbox trayer xdotool xwininfo xprop python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    shot "failure"
    [ -s "$work/program.log" ] && { echo "--- program output"; cat "$work/program.log"; }
    exit 1
}
step() { echo "-- [${SECONDS}s] $*"; }

# poll SECONDS COMMAND... : runs the command every fifth of a second until it succeeds.
poll() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.2
    done
}

shots=${TESSALY_SHOTS:-}
shot_number=0
shot() {
    [ -n "$shots" ] && command -v import >/dev/null 2>&1 || return 0
    shot_number=$((shot_number + 1))
    mkdir -p "$shots"
    import -window root "$shots/$(printf '%02d' "$shot_number")-$1.png" 2>/dev/null
}

# The X server picks a free display itself.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
poll 60 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# Nothing of the desktop session this may run in: no session bus (Qt would use it for the tray
# instead of the X notification area); home, settings and TEMP in the temporary folder.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER
export QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime" TEMP="$work/temp" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$TEMP" "$HOME/Desktop"
mkdir -m 700 "$XDG_RUNTIME_DIR"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
poll 60 xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 || fail "openbox did not start"

trayer --edge top --align right --widthtype request --height 24 --SetDockType true --transparent false \
    >"$work/trayer.log" 2>&1 &
pids+=($!)
tray_owned() {
    python3 - <<'PY'
import ctypes, ctypes.util, sys
x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XInternAtom.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XGetSelectionOwner.restype = ctypes.c_ulong
display = x.XOpenDisplay(None)
sys.exit(0 if display and x.XGetSelectionOwner(display, x.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)
PY
}
poll 60 tray_owned || fail "trayer did not take the notification area"

# The main window is the program's window the window manager manages; the tray icon is the
# program's window inside trayer.
client_list() { xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'; }
is_ours() { xprop -id "$1" WM_CLASS 2>/dev/null | grep -q '"tessaly"'; }
find_window() {
    local id
    for id in $(client_list); do
        if is_ours "$id"; then window=$id; return 0; fi
    done
    return 1
}
find_icon() {
    local panel
    for panel in $(xdotool search --class trayer 2>/dev/null); do
        icon=$(xwininfo -tree -id "$panel" 2>/dev/null | grep '("tessaly"' | grep -o '0x[0-9a-f]*' | head -n1)
        [ -n "$icon" ] && return 0
    done
    return 1
}
map_state() { xwininfo -id "$window" 2>/dev/null | sed -n 's/.*Map State: //p'; }
wm_state() { xprop -id "$window" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
managed() { client_list | grep -qx "$1"; }

shown() { managed "$window" && [ "$(map_state)" = IsViewable ] && [ "$(wm_state)" = Normal ]; }
# Hidden: no window of the program left to the window manager, and the old one not on the screen
# (the program may have let it go altogether).
hidden_in_tray() { no_window_shown && [ "$(map_state)" != IsViewable ]; }
minimised() { managed "$window" && [ "$(map_state)" = IsUnMapped ] && [ "$(wm_state)" = Iconic ]; }
# The balloon: a window of the program on the screen that is neither managed nor the tray icon.
balloon_up() {
    local id
    for id in $(xdotool search --onlyvisible --class tessaly 2>/dev/null); do
        [ "$(printf '0x%x' "$id")" = "$icon" ] && continue
        managed "$(printf '0x%x' "$id")" || return 0
    done
    return 1
}
no_window_shown() {
    local id
    for id in $(client_list); do is_ours "$id" && return 1; done
    return 0
}
icon_placed() {
    eval "$(xdotool getwindowgeometry --shell "$icon" 2>/dev/null)" || return 1
    [ "${WIDTH:-0}" -gt 0 ] && [ "${HEIGHT:-0}" -gt 0 ]
}
# Two clicks on one spot in quick succession are a double click, which restores nothing; so each
# click lands a few pixels away from the one before.
click_side=1
click_icon() {
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    click_side=$((-click_side))
    xdotool mousemove --sync $((X + WIDTH / 2 + click_side * WIDTH / 4)) $((Y + HEIGHT / 2)) click 1
}
ended() { ! kill -0 "$program_pid" 2>/dev/null; }
start_program() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    window=""
    icon=""
    poll 120 find_icon || fail "no icon of the program in the tray"
    poll 60 icon_placed || fail "the tray icon has no place on the screen"
}
stop_program() {
    kill -TERM "$program_pid"
    poll 60 ended || fail "the program did not end within 60 seconds of SIGTERM"
    wait "$program_pid"
    local status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

step "start $program"
start_program
poll 60 find_window || fail "the main window did not appear"
poll 60 shown || fail "the main window is not shown"
echo "window $window, tray icon $icon"
shot "shown"

step "first minimise: hidden in the tray"
xdotool windowminimize "$window"
poll 60 hidden_in_tray || fail "the first minimise did not hide the window (map state $(map_state), WM_STATE $(wm_state))"
shot "hidden-with-balloon"

step "click on the tray icon: shown again"
click_icon
# The window comes back as a new X window.
window=""
poll 60 find_window || fail "a click on the tray icon did not bring the window back"
poll 60 shown || fail "the window is not shown normal after the click (window $window, map state $(map_state), WM_STATE $(wm_state))"
shot "restored"

step "second minimise: an ordinary minimised window"
xdotool windowminimize "$window"
poll 60 minimised || fail "the second minimise did not leave a minimised window"
shot "minimised"

step "click on the tray icon: shown again"
click_icon
poll 60 shown || fail "a click on the tray icon did not restore the minimised window"

step "SIGTERM ends the program and saves the folder list"
stop_program
store="$XDG_CONFIG_HOME/Quarnell/Tessaly.conf"
grep -q '^Folders=' "$store" 2>/dev/null || fail "\"Folders\" was not written"

step "start in the tray: hidden with the balloon, a click shows the window"
# The store holds one group; the option joins it.
echo 'Minimized=On' >>"$store"
start_program
poll 60 balloon_up || fail "no balloon at a start in the tray"
no_window_shown || fail "a start in the tray showed the window"
shot "started-in-tray"
click_icon
poll 60 find_window || fail "a click on the tray icon did not show the window"
poll 60 shown || fail "the window is not shown normal after the click (window $window, map state $(map_state), WM_STATE $(wm_state))"
shot "shown-from-tray"
stop_program
echo "PASS"
