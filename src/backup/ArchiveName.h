#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// The archive naming rule of a backup run.

// "YYYY-MM-DD", whatever the regional settings say.
QString DateStamp(const QDateTime& moment);
// "HH-NN-AM" or "HH-NN-PM" on the 12-hour clock (midnight and noon are 12), whatever the regional
// settings say.
QString TimeStamp(const QDateTime& moment);

// The list entry without one trailing separator (only one).
QString FolderPathOf(const QString& entry, QChar separator);

// Prefix, the stamps that are wanted (empty ones are left out) and the folder name, one blank
// between each. Blanks around the prefix and around the whole name go; blanks inside the prefix
// stay, and an empty prefix leaves no blank at the front.
QString ArchiveBaseName(const QString& prefix, const QString& dateStamp, const QString& timeStamp,
                        const QString& folderName);

// The backup folder, a separator, the base name and ".zip", doubled separators collapsed.
QString ArchivePath(const QString& backupFolder, const QString& baseName, QChar separator);
