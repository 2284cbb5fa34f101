#!/usr/bin/env bash
# The real program under Xvfb with openbox, started as the menu entry starts it.
#   start-under-x.sh PROGRAM second-start: a second start ends at once and brings the first,
#     minimised, back in front; after a kill -9 of the first, the next start runs.
#   start-under-x.sh PROGRAM close-during-start-up: SIGTERM while a start-up box is open ends it.
program=${1:?usage: start-under-x.sh PROGRAM second-start|close-during-start-up}
scenario=${2:?}
source "$(dirname "$0")/../support/x-session.sh"

start_program() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
}
# Minimised: iconic and off the screen (openbox may keep it mapped in a hidden frame).
iconic() { [ "$(wm_state)" = Iconic ] && [ "$(map_state)" != IsViewable ]; }
in_front() { [ "$(printf '0x%x' "$(xdotool getactivewindow)")" = "$window" ]; }

printf '[General]\nStartStopState=Off\nMinimized=On\n' >"$store"
case $scenario in
second-start)
    start_program
    first=$program_pid
    poll 120 find_window && poll 60 iconic || fail "the first start did not show a minimised window"
    start_program
    poll 60 ended || fail "the second start did not end"
    wait "$program_pid" || fail "the second start ended with status $?"
    program_pid=$first
    ! ended || fail "the first program ended too"
    poll 60 shown && poll 60 in_front || fail "the first window was not brought back in front"
    shot "brought-forward"
    kill -KILL "$first"
    wait "$first"
    poll 60 eval '! find_window' || fail "the killed program's window stayed"
    # A window of its own shows that this start runs rather than hands over.
    start_program
    poll 120 find_window || fail "a start after a kill -9 did not run"
    ;;
close-during-start-up)
    echo 'Check1=x' >>"$store"
    start_program
    poll 120 xdotool search --name '^Application Error$' >/dev/null || fail "no start-up box"
    shot "start-up-box"
    ;;
esac
stop_program
echo "PASS"
