#pragma once

#include "backup/BackupChoices.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

// What the restore tests share: real files of any name, trees described byte for byte, and
// backups made by the real backup run.
namespace RestoreTestTools {

// Writes a file by its raw path bytes (folders made as needed), with its permission bits and
// modification time (whole even seconds are what any archive keeps exactly; finer ones only this
// program's records).
void put(const QByteArray& path, const QByteArray& data, unsigned mode = 0644, qint64 mtime = 1'600'000'000,
         long nanoseconds = 0);

// Every file and folder below the folder by its relative raw path: its kind, permission bits,
// size, modification time and content hash; folders' times only to the two seconds archives keep.
QMap<QByteArray, QString> describe(const QByteArray& folder);

// The backup run's choices: the folders, the backup folder, "Backup" with both stamps.
class Choices final : public BackupChoices
{
public:
    QStringList folders;
    QString backups;
    int folderCount() const override { return static_cast<int>(folders.size()); }
    QString folderEntry(int position) const override { return folders.at(position - 1); }
    QString backupFolder() const override { return backups; }
    QString prefix() const override { return QStringLiteral("Backup"); }
    bool dateStamped() const override { return true; }
    bool timeStamped() const override { return true; }
    int keepLast() const override { return 0; }
};

// A silent backup run stamped with the moment; returns the archive it wrote for the first folder.
QString backUp(const BackupChoices& choices, const QDateTime& moment);

} // namespace RestoreTestTools
