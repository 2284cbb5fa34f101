#include "history/HistoryLog.h"

#include "base/AppError.h"
#include "base/RoutineNames.h"
#include "history/HistoryFile.h"

#include <QFile>

void AddToHistory(const QString& entry)
{
    const QString path = HistoryFile();
    QFile file(path);
    const QByteArray line = entry.toLocal8Bit() + "\r\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size() || !file.flush())
        throw AppError(75, Routine::AddToHistory,
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
    // The engine ends each of its lines with LF alone: in the log every line ends with CR LF, and
    // the date goes on the reason's last line, so the entry reads as one block in a text editor.
    QString text = reason;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(u'\n'))
        text.chop(1);
    text.replace(u'\n', QStringLiteral("\r\n"));
    return folderName + QStringLiteral(" was not backup and zipped because ") + text + QStringLiteral(", ") + dateTime;
}

QString RemovalEntry(const QString& archivePath, int keep)
{
    return QStringLiteral("Old backup ") + archivePath + QStringLiteral(" was removed, keeping the last ")
        + QString::number(keep);
}
