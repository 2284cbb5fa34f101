#include "backup/ArchiveName.h"

#include "backup/PathHelpers.h"

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Blanks only: a tab typed into the prefix is part of the name.
QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return text.mid(first, last - first);
}

} // namespace

QString DateStamp(const QDateTime& moment)
{
    const QDate date = moment.date();
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(twoDigits(date.month()), twoDigits(date.day()));
}

QString TimeStamp(const QDateTime& moment)
{
    const QTime time = moment.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return twoDigits(hour12) + u'-' + twoDigits(time.minute()) + u'-'
        + (time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString FolderPathOf(const QString& entry, QChar separator)
{
    return entry.endsWith(separator) ? entry.chopped(1) : entry;
}

QString ArchiveBaseName(const QString& prefix, const QString& dateStamp, const QString& timeStamp,
                        const QString& folderName)
{
    // Blanks typed around the prefix go; the ones inside it stay.
    QString name = trimBlanks(prefix);
    if (!dateStamp.isEmpty())
        name += u' ' + dateStamp;
    if (!timeStamp.isEmpty())
        name += u' ' + timeStamp;
    name += u' ' + folderName;
    return trimBlanks(name);
}

QString ArchivePath(const QString& backupFolder, const QString& baseName, QChar separator)
{
    return CollapseBackslashes(backupFolder + separator + baseName + QStringLiteral(".zip"), separator);
}
