#include "backup/BackupDisk.h"

#include "base/FileSystemIdentity.h"
#include "base/SettingsStore.h"

#include <QJsonObject>

namespace BackupDisk {
namespace {

const QString FolderField = QStringLiteral("folder");
const QString FileSystemField = QStringLiteral("fileSystem");

} // namespace

QString NotConnectedReason(const QString& backupFolder)
{
    const QJsonObject record = SettingsStore::ReadRecord(SettingsKeys::BackupDisk);
    const QString known = record.value(FileSystemField).toString();
    if (record.value(FolderField).toString() != backupFolder || known.isEmpty()
        || FileSystemIdentity(backupFolder) == known)
        return {};
    return QStringLiteral("the backup disk is not connected: %1 is not on the disk it was last written to; choose "
                          "the backup folder again to use it as it is now")
        .arg(backupFolder);
}

void Remember(const QString& backupFolder)
{
    if (SettingsStore::ReadRecord(SettingsKeys::BackupDisk).value(FolderField).toString() == backupFolder)
        return;
    const QString identity = FileSystemIdentity(backupFolder);
    if (identity.isEmpty())
        return;
    const QJsonObject record { { FolderField, backupFolder }, { FileSystemField, identity } };
    SettingsStore::WriteRecord(SettingsKeys::BackupDisk, record);
}

void Forget()
{
    if (!SettingsStore::ReadRecord(SettingsKeys::BackupDisk).isEmpty())
        SettingsStore::WriteSetting(SettingsKeys::BackupDisk, QString());
}

} // namespace BackupDisk
