#!/usr/bin/env bash
# Starts the real program under Xvfb with openbox, as a user starts it from the menu.
#   start-under-x.sh PROGRAM second-start
#     A second start hands over to the first: it ends at once, and the first, minimised, comes
#     back shown and in front. After a kill -9 of the first, the lock it left blocks nothing.
#   start-under-x.sh PROGRAM close-during-start-up
#     SIGTERM while a start-up "Application Error" box is open ends the program.
set -uo pipefail

program=${1:?usage: start-under-x.sh PROGRAM second-start|close-during-start-up}
scenario=${2:?usage: start-under-x.sh PROGRAM second-start|close-during-start-up}
source "$(dirname "$0")/../support/x-session.sh"

start_program() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    window=""
    poll 120 find_window || fail "the main window did not appear"
}
no_window_of_ours() { ! find_window; }
# Started minimised: iconic, and not on the screen (openbox may keep the window mapped in a hidden frame).
iconic() { [ "$(wm_state)" = Iconic ] && [ "$(map_state)" != IsViewable ]; }
active() { [ "$(printf '0x%x' "$(xdotool getactivewindow 2>/dev/null)")" = "$(printf '0x%x' "$window")" ]; }

# No timed backups, and nothing of the user's.
printf '[General]\nStartStopState=Off\nPath=%s\n' "$work/backups" >"$store"

case $scenario in
second-start)
    step "the first start, minimised"
    echo 'Minimized=On' >>"$store"
    start_program
    poll 60 iconic || fail "the first start is not minimised (map state $(map_state), WM_STATE $(wm_state))"
    first=$program_pid
    shot "first-minimised"

    step "a second start hands over and ends"
    "$program" >"$work/second.log" 2>&1 &
    second=$!
    pids+=("$second")
    program_pid=$second
    poll 60 ended || fail "the second start did not end"
    wait "$second" || fail "the second start ended with status $? ($(cat "$work/second.log"))"
    program_pid=$first
    ! ended || fail "the first program ended too"
    poll 60 shown || fail "the first window was not brought back (map state $(map_state), WM_STATE $(wm_state))"
    poll 60 active || fail "the first window is shown but not in front"
    [ "$(client_list | while read -r id; do is_ours "$id" && echo "$id"; done | wc -l)" -eq 1 ] ||
        fail "more than one window of the program"
    shot "first-brought-forward"

    step "kill -9 of the first leaves nothing that blocks the next start"
    kill -KILL "$first"
    wait "$first" 2>/dev/null
    poll 60 no_window_of_ours || fail "the killed program's window stayed"
    # Its own window shows that this start runs rather than hands over.
    start_program
    stop_program
    ;;
close-during-start-up)
    step "a bad stored value opens the start-up box"
    echo 'Check1=x' >>"$store"
    "$program" >"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    poll 120 xdotool search --name '^Application Error$' >/dev/null || fail "no start-up box"
    shot "start-up-box"

    step "SIGTERM while the box is open ends the program"
    stop_program
    ;;
*) fail "unknown scenario $scenario" ;;
esac
echo "PASS"
