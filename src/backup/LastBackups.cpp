#include "backup/LastBackups.h"

#include "backup/Clock.h"
#include "base/SettingsStore.h"

#include <QJsonObject>

namespace LastBackups {
namespace {

const QString Complete = QStringLiteral("complete");
const QString Listed = QStringLiteral("listed");

// A folder's record, when it holds a time that can be read.
std::optional<Age> ageOf(const QJsonObject& times, const QString& entry)
{
    const QJsonObject record = times.value(entry).toObject();
    const bool complete = record.contains(Complete);
    const QDateTime since = MomentFromStore(record.value(complete ? Complete : Listed).toString());
    if (!since.isValid())
        return std::nullopt;
    return Age { entry, since, complete };
}

// Ordered by how long the folder has waited for a complete backup.
bool older(const Age& a, const Age& b)
{
    return a.since < b.since || (a.since == b.since && !a.complete && b.complete);
}

} // namespace

void RecordComplete(const QString& entry, const QDateTime& moment)
{
    QJsonObject times = SettingsStore::ReadRecord(SettingsKeys::LastBackups);
    times.insert(entry, QJsonObject { { Complete, StoredMoment(moment) } });
    SettingsStore::WriteRecord(SettingsKeys::LastBackups, times);
}

std::optional<Age> Oldest(const QStringList& listed, const QDateTime& now)
{
    QJsonObject times = SettingsStore::ReadRecord(SettingsKeys::LastBackups);
    const QJsonObject before = times;
    std::optional<Age> oldest;
    for (const QString& entry : listed) {
        std::optional<Age> age = ageOf(times, entry);
        if (!age) {
            times.insert(entry, QJsonObject { { Listed, StoredMoment(now) } });
            age = Age { entry, now, false };
        }
        if (!oldest || older(*age, *oldest))
            oldest = age;
    }
    for (const QString& entry : before.keys()) {
        if (!listed.contains(entry) && !before.value(entry).toObject().contains(Complete))
            times.remove(entry);
    }
    if (times != before)
        SettingsStore::WriteRecord(SettingsKeys::LastBackups, times);
    return oldest;
}

} // namespace LastBackups
