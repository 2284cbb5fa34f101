#include "schedule/CatchUp.h"

#include "backup/Clock.h"
#include "base/SettingsStore.h"

#include <QDateTime>
#include <algorithm>

namespace CatchUp {
namespace {

QDateTime storedStart()
{
    return QDateTime::fromString(SettingsStore::ReadSetting(SettingsKeys::CountdownStarted), Qt::ISODate);
}

} // namespace

int ElapsedFor(qint64 sinceStart, int intervalSeconds)
{
    // A moment in the future comes from a clock that was wrong: a full interval, as without.
    if (intervalSeconds <= 0 || sinceStart <= 0)
        return 0;
    if (sinceStart < intervalSeconds)
        return static_cast<int>(sinceStart);
    return std::max(0, intervalSeconds - GraceSeconds);
}

std::optional<int> ElapsedNow(int intervalSeconds)
{
    const QDateTime start = storedStart();
    if (!start.isValid())
        return std::nullopt;
    return ElapsedFor(start.secsTo(Clock::currentDateTime()), intervalSeconds);
}

void NoteCountdownStarted(bool onlyIfUnknown)
{
    if (onlyIfUnknown && storedStart().isValid())
        return;
    SettingsStore::WriteSetting(SettingsKeys::CountdownStarted, Clock::currentDateTime().toUTC().toString(Qt::ISODate));
}

} // namespace CatchUp
