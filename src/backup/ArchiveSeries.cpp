#include "backup/ArchiveSeries.h"

#include "backup/ArchiveName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {

// How far past the clock a modification time may lie and still be believed: another machine's
// clock (a network disk) may be a little ahead; a clock that jumped is usually ahead by far more.
constexpr qint64 ModifiedAheadSlackSeconds = 3600;

QRegularExpression stampPattern(const ArchiveNaming& naming)
{
    const QString date = QStringLiteral("([0-9]{4}-[0-9]{2}-[0-9]{2})");
    const QString time = QStringLiteral("([0-9]{2}-[0-9]{2}-[AP]M)");
    if (naming.dateStamp && naming.timeStamp)
        return QRegularExpression(date + u' ' + time);
    return QRegularExpression(naming.dateStamp ? date : time);
}

// The moment the stamps of a name give, when they are stamps the rule writes. Any fixed day serves
// for a time stamp alone: only its validity is asked then.
std::optional<QDateTime> stampedMoment(const QString& dateText, const QString& timeText)
{
    QDate date = QDate(2000, 1, 1);
    if (!dateText.isEmpty()) {
        date = QDate::fromString(dateText, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid() || DateStamp(QDateTime(date, QTime(0, 0))) != dateText)
            return std::nullopt;
    }
    QTime time(0, 0);
    if (!timeText.isEmpty()) {
        const int hour12 = timeText.left(2).toInt();
        const int hour = hour12 % 12 + (timeText.endsWith(QLatin1String("PM")) ? 12 : 0);
        time = QTime(hour, timeText.mid(3, 2).toInt());
        if (!time.isValid() || TimeStamp(QDateTime(date, time)) != timeText)
            return std::nullopt;
    }
    return QDateTime(date, time);
}

// The moment the stamps of the file's name give when the naming rule gives exactly its name for
// the series (invalid when the stamps carry no date): a longer folder name ending in the same
// words never does. Every place is tried, since a prefix may itself look like a stamp.
std::optional<QDateTime> seriesStamp(const QString& name, const ArchiveSeries& series,
                                     const QRegularExpression& pattern)
{
    for (qsizetype at = 0; at < name.size(); ++at) {
        const QRegularExpressionMatch found
            = pattern.match(name, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!found.hasMatch())
            continue;
        const bool date = series.naming.dateStamp;
        const QString dateText = date ? found.captured(1) : QString();
        const QString timeText = series.naming.timeStamp ? found.captured(date ? 2 : 1) : QString();
        const std::optional<QDateTime> moment = stampedMoment(dateText, timeText);
        if (moment
            && ArchiveBaseName(series.naming.prefix, dateText, timeText, series.folderName) + QStringLiteral(".zip")
                == name)
            return date ? *moment : QDateTime();
    }
    return std::nullopt;
}

SeriesArchive seriesArchive(const QFileInfo& file, const QDateTime& stamped, const QDateTime& now, QChar separator,
                            const ArchiveSeries& series)
{
    SeriesArchive archive;
    archive.path = ArchivePath(series.naming.backupFolder, file.fileName().chopped(4), separator);
    archive.stamped = stamped;
    archive.modified = file.lastModified();
    if (stamped.isValid() && stamped <= now) {
        // The stamps name the minute (or the day) the archive was begun; within it, the
        // modification time tells more. Outside it (an archive copied without its times) it is
        // not believed.
        const QDateTime periodEnd = series.naming.timeStamp ? stamped.addSecs(60) : stamped.addDays(1);
        archive.written = archive.modified >= stamped && archive.modified < periodEnd ? archive.modified : stamped;
    } else if (archive.modified <= now.addSecs(ModifiedAheadSlackSeconds))
        archive.written = archive.modified;
    return archive;
}

bool newerFirst(const SeriesArchive& a, const SeriesArchive& b)
{
    if (a.written.isValid() != b.written.isValid())
        return a.written.isValid();
    if (a.written != b.written)
        return a.written > b.written;
    if (a.stamped != b.stamped)
        return a.stamped > b.stamped;
    if (a.modified != b.modified)
        return a.modified > b.modified;
    return a.path > b.path;
}

} // namespace

QList<SeriesArchive> SeriesArchives(const ArchiveSeries& series, const QDateTime& now, QChar separator,
                                    const QString& except)
{
    const QString exceptName = QFileInfo(except).fileName();
    QList<SeriesArchive> archives;
    const QDir folder(series.naming.backupFolder);
    if (!series.stamped()) {
        // Its one archive, replaced in place.
        const QFileInfo file(
            folder.filePath(ArchiveBaseName(series.naming.prefix, {}, {}, series.folderName) + QStringLiteral(".zip")));
        if (file.isFile() && !file.isSymLink() && file.fileName() != exceptName)
            archives.append(seriesArchive(file, {}, now, separator, series));
        return archives;
    }
    const QRegularExpression pattern = stampPattern(series.naming);
    // Links are not archives this program wrote.
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (file.fileName() == exceptName)
            continue;
        if (const std::optional<QDateTime> stamped = seriesStamp(file.fileName(), series, pattern))
            archives.append(seriesArchive(file, *stamped, now, separator, series));
    }
    std::sort(archives.begin(), archives.end(), newerFirst);
    return archives;
}

QString LatestArchiveBefore(const ArchiveSeries& series, const QString& newArchive, const QDateTime& now,
                            QChar separator)
{
    if (!series.stamped())
        return {};
    const QList<SeriesArchive> older = SeriesArchives(series, now, separator, newArchive);
    const auto ahead = [&now](const SeriesArchive& archive) {
        return archive.stamped.isValid() ? archive.stamped > now : !archive.written.isValid();
    };
    const auto latest = std::find_if_not(older.begin(), older.end(), ahead);
    if (latest != older.end())
        return latest->path;
    return older.isEmpty() ? QString() : older.first().path;
}
