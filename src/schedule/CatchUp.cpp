#include "schedule/CatchUp.h"

#include "backup/Clock.h"
#include "base/SettingsStore.h"

#include <QDateTime>
#include <algorithm>

namespace CatchUp {
namespace {

// Seconds from start-up or a wake to a run that fell due meanwhile: time for disks and the
// network to come back.
constexpr int GraceSeconds = 30;

QDateTime storedStart()
{
    return MomentFromStore(SettingsStore::ReadSetting(SettingsKeys::CountdownStarted));
}

// The count that leaves as much of the interval as the wall clock says is left, `sinceStart`
// seconds after the countdown started from 0; a run already due comes GraceSeconds from now.
int elapsedFor(qint64 sinceStart, int intervalSeconds)
{
    // A moment in the future comes from a clock that was wrong: a full interval, as without.
    if (intervalSeconds <= 0 || sinceStart <= 0)
        return 0;
    if (sinceStart < intervalSeconds)
        return static_cast<int>(sinceStart);
    return std::max(0, intervalSeconds - GraceSeconds);
}

} // namespace

std::optional<int> ElapsedNow(int intervalSeconds)
{
    const QDateTime start = storedStart();
    if (!start.isValid())
        return std::nullopt;
    return elapsedFor(start.secsTo(Clock::currentDateTime()), intervalSeconds);
}

void NoteCountdownStarted(bool onlyIfUnknown)
{
    if (onlyIfUnknown && storedStart().isValid())
        return;
    SettingsStore::WriteSetting(SettingsKeys::CountdownStarted, StoredMoment(Clock::currentDateTime()));
}

} // namespace CatchUp
