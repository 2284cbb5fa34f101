# Sourced by the checks that run the real program under X: starts Xvfb and openbox with a home,
# settings and TEMP of their own in a temporary folder, and gives the helpers to find and judge
# the program's main window. Ends everything it started on exit. Exit 77 (skipped) when a tool is
# missing. Needs: program (the program to run); optional extra_tools.
# TESSALY_SHOTS=DIR keeps a screenshot of each step in DIR.
set -uo pipefail

for tool in Xvfb openbox xdotool xwininfo xprop ${extra_tools:-}; do
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

# A display number of its own, well away from the low numbers that other X servers on this
# machine pick for themselves: a server starting on a taken number can take its socket over.
x_server_up() { kill -0 "$xvfb_pid" 2>/dev/null && xprop -root >/dev/null 2>&1; }
for _ in $(seq 20); do
    number=$(shuf -i 100-899 -n 1)
    [ -e "/tmp/.X$number-lock" ] && continue
    export DISPLAY=":$number"
    # -noreset: a check that connects and leaves must not make the server start over under the others.
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp -noreset 2>"$work/xvfb.log" &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    poll 60 x_server_up && break
    kill "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
done
[ -n "${xvfb_pid:-}" ] || fail "Xvfb did not start"

# Nothing of the desktop session this may run in: no session bus (Qt would use it for the tray
# instead of the X notification area); home, settings, runtime folder and TEMP in the temporary folder.
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER
export QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime" TEMP="$work/temp" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME/Quarnell" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$TEMP" "$HOME/Desktop"
mkdir -m 700 "$XDG_RUNTIME_DIR"
store="$XDG_CONFIG_HOME/Quarnell/Tessaly.conf"

# Windows mapped before openbox has finished starting are not managed: its start-up command says when.
openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
pids+=($!)
poll 60 test -e "$work/wm-ready" || fail "openbox did not start"

# The main window is the program's window the window manager manages.
client_list() { xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'; }
is_ours() { xprop -id "$1" WM_CLASS 2>/dev/null | grep -q '"tessaly"'; }
find_window() {
    local id
    for id in $(client_list); do
        if is_ours "$id"; then window=$id; return 0; fi
    done
    return 1
}
map_state() { xwininfo -id "$window" 2>/dev/null | sed -n 's/.*Map State: //p'; }
wm_state() { xprop -id "$window" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
managed() { client_list | grep -qx "$1"; }
shown() { managed "$window" && [ "$(map_state)" = IsViewable ] && [ "$(wm_state)" = Normal ]; }
minimised() { managed "$window" && [ "$(map_state)" = IsUnMapped ] && [ "$(wm_state)" = Iconic ]; }
ended() { ! kill -0 "$program_pid" 2>/dev/null; }
stop_program() {
    kill -TERM "$program_pid"
    poll 60 ended || fail "the program did not end within 60 seconds of SIGTERM"
    wait "$program_pid"
    local status=$?
    [ "$status" -eq 0 ] || fail "the program ended with status $status"
}
