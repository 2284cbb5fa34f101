#pragma once

#include <QtGlobal>
#include <optional>

// Catching up on missed backups: at start-up and after the computer wakes, the countdown goes on
// from the wall-clock moment it last started from 0 (the end of the last timed run, or the last
// choice of an interval), so a run that fell due while the program was not running or the computer
// slept comes within half a minute.
namespace CatchUp {

// Seconds from start-up or a wake to a run that fell due meanwhile: time for disks and the
// network to come back.
inline constexpr int GraceSeconds = 30;

// The count that leaves as much of the interval as the wall clock says is left, `sinceStart`
// seconds after the countdown started from 0; a run already due comes GraceSeconds from now.
int ElapsedFor(qint64 sinceStart, int intervalSeconds);
// The count to go on from now, by the stored moment the countdown last started from 0; nothing
// when no moment is stored.
std::optional<int> ElapsedNow(int intervalSeconds);
// The countdown started from 0 now. With `onlyIfUnknown`, only when no moment is stored yet.
void NoteCountdownStarted(bool onlyIfUnknown = false);

} // namespace CatchUp
