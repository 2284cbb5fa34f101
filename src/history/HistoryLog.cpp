#include "history/HistoryLog.h"

#include "base/AppError.h"
#include "base/RoutineNames.h"
#include "history/HistoryFile.h"

#include <QFile>
#include <QRegularExpression>

namespace {

const QRegularExpression& lineBreak()
{
    static const QRegularExpression pattern(QStringLiteral("\r\n|[\r\n]"));
    return pattern;
}

} // namespace

void AddToHistory(const QString& entry)
{
    const QString path = HistoryFile();
    QFile file(path);
    const QByteArray line = QString(entry).replace(lineBreak(), QStringLiteral(" ")).toLocal8Bit() + "\r\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size() || !file.flush())
        throw AppError(75, Routine::AddToHistory,
                       QStringLiteral("Path/File access error: ") + path + QStringLiteral(" (") + file.errorString()
                           + u')');
    file.close();
}

QString SuccessEntry(const QString& folderName, const QString& archivePath, const QString& dateTime,
                     const QString& note)
{
    const QString noted = note.isEmpty() ? archivePath : archivePath + QStringLiteral(" (") + note + u')';
    return folderName + QStringLiteral(" was backup and zipped as ") + noted + QStringLiteral(" at ") + dateTime;
}

QString FailureEntry(const QString& folderName, const QString& reason, const QString& dateTime)
{
    // The engine writes one line per finding; in the log they stay one entry, with the date at its
    // end. A line that ends in ":" introduces the next.
    QString joined;
    for (const QString& line : reason.split(lineBreak(), Qt::SkipEmptyParts)) {
        if (!joined.isEmpty())
            joined += joined.endsWith(u':') ? QStringLiteral(" ") : QStringLiteral("; ");
        joined += line;
    }
    return folderName + QStringLiteral(" was not backup and zipped because ") + joined + QStringLiteral(", ")
        + dateTime;
}

QString RemovalEntry(const QString& archivePath, int keep)
{
    return QStringLiteral("Old backup ") + archivePath + QStringLiteral(" was removed, keeping the last ")
        + QString::number(keep);
}
