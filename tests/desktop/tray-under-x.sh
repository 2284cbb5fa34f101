#!/usr/bin/env bash
# Starts the program under Xvfb with a window manager (openbox) and a notification area (trayer),
# and uses it as a person would: finds its icon in the tray, minimises the window and sees it go
# into the tray, clicks the icon and sees it back, then ends it with SIGTERM and checks the folder
# list was saved; last, stops the notification area while the window is hidden in it and sees the
# window come back. Exit 77 (skipped) when the X tools are missing.
#   tray-under-x.sh PROGRAM
# TESSALY_SHOTS=DIR keeps a screenshot of each step in DIR.
set -uo pipefail

program=${1:?usage: tray-under-x.sh PROGRAM}
extra_tools="trayer python3"
source "$(dirname "$0")/../support/x-session.sh"

trayer --edge top --align right --widthtype request --height 24 --SetDockType true --transparent false \
    >"$work/trayer.log" 2>&1 &
trayer_pid=$!
pids+=("$trayer_pid")
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

# The tray icon is the program's window inside trayer.
find_icon() {
    local panel
    for panel in $(xdotool search --class trayer 2>/dev/null); do
        icon=$(xwininfo -tree -id "$panel" 2>/dev/null | grep '("tessaly"' | grep -o '0x[0-9a-f]*' | head -n1)
        [ -n "$icon" ] && return 0
    done
    return 1
}
# Hidden: no window of the program left to the window manager, and the old one not on the screen
# (the program may have let it go altogether).
hidden_in_tray() { no_window_shown && [ "$(map_state)" != IsViewable ]; }
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
start_program() {
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    window=""
    icon=""
    poll 120 find_icon || fail "no icon of the program in the tray"
    poll 60 icon_placed || fail "the tray icon has no place on the screen"
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

step "the notification area goes away while the window is hidden in it: the window comes back"
start_program
poll 60 balloon_up || fail "no balloon at a start in the tray"
kill "$trayer_pid"
poll 60 find_window || fail "the window did not come back when the notification area went away"
poll 60 shown || fail "the window is not shown normal without a tray (window $window, map state $(map_state), WM_STATE $(wm_state))"
shot "shown-without-tray"
stop_program
echo "PASS"
