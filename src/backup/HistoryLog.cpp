#include "backup/HistoryLog.h"

#include "app/AppError.h"
#include "backup/HistoryFile.h"

#include <QFile>

void AddToHistory(const QString& entry)
{
    const QString path = HistoryFile();
    QFile file(path);
    const QByteArray line = entry.toLocal8Bit() + "\r\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size() || !file.flush())
        throw AppError(75, QStringLiteral("IntervalSave.AddToHistory"),
                       QStringLiteral("Path/File access error: ") + path + QStringLiteral(" (") + file.errorString()
                           + u')');
    file.close();
}

QString SuccessEntry(const QString& folderName, const QString& archivePath, const QString& dateTime)
{
    return folderName + QStringLiteral(" was backup and zipped as ") + archivePath + QStringLiteral(" at ") + dateTime;
}

QString FailureEntry(const QString& folderName, const QString& reason, const QString& dateTime)
{
    return folderName + QStringLiteral(" was not backup and zipped because ") + reason + QStringLiteral(", ")
        + dateTime;
}

QString RemovalEntry(const QString& archivePath, int keep)
{
    return QStringLiteral("Old backup ") + archivePath + QStringLiteral(" was removed, keeping the last ")
        + QString::number(keep);
}
