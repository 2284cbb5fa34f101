#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// When each listed folder was last backed up in full, by the wall clock, kept in the settings store
// so that backups that stopped happening are seen across restarts and sleep. A folder not backed up
// in full yet counts from the moment it was first seen listed.
namespace LastBackups {

struct Age
{
    QString entry; // as the folder list holds it
    QDateTime since; // its last complete backup, or when it was first seen listed
    bool complete = false; // `since` is a complete backup
};

// A complete backup of the folder listed as `entry` ended at `moment`.
void RecordComplete(const QString& entry, const QDateTime& moment);
// The listed folder that has waited longest for a complete backup. Folders seen for the first time count from `now`,
// which is kept for them; those no longer listed that were never backed up are forgotten. Nothing when the list is
// empty.
std::optional<Age> Oldest(const QStringList& listed, const QDateTime& now);

} // namespace LastBackups
