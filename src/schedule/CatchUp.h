#pragma once

#include <optional>

// Catching up on missed backups: at start-up and after the computer wakes, the countdown goes on
// from the wall-clock moment it last started from 0 (the end of the last timed run, or the last
// choice of an interval), so a run that fell due while the program was not running or the computer
// slept comes within half a minute.
namespace CatchUp {

// The count to go on from now, which leaves as much of the interval as the wall clock says is left
// since the stored moment the countdown last started from 0; a run already due comes half a minute
// from now. Nothing when no moment is stored.
std::optional<int> ElapsedNow(int intervalSeconds);
// The countdown started from 0 now. With `onlyIfUnknown`, only when no moment is stored yet.
void NoteCountdownStarted(bool onlyIfUnknown = false);

} // namespace CatchUp
