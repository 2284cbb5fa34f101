#include "backup/KeepLast.h"

#include "backup/ArchiveName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {

struct Archive
{
    QString fileName;
    QDateTime stamped; // invalid when the name carries no date
    QDateTime modified;
};

QRegularExpression stampPattern(const ArchiveSeries& series)
{
    const QString date = QStringLiteral("([0-9]{4}-[0-9]{2}-[0-9]{2})");
    const QString time = QStringLiteral("([0-9]{2}-[0-9]{2}-[AP]M)");
    if (series.dateStamp && series.timeStamp)
        return QRegularExpression(date + u' ' + time);
    return QRegularExpression(series.dateStamp ? date : time);
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

// The file belongs to the series when, for some stamps found in it, the naming rule gives exactly
// its name: a longer folder name ending in the same words never does. Every place is tried, since a
// prefix may itself look like a stamp.
std::optional<Archive> seriesArchive(const QFileInfo& file, const ArchiveSeries& series,
                                     const QRegularExpression& pattern)
{
    const QString name = file.fileName();
    for (qsizetype at = 0; at < name.size(); ++at) {
        const QRegularExpressionMatch found
            = pattern.match(name, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!found.hasMatch())
            continue;
        const QString dateText = series.dateStamp ? found.captured(1) : QString();
        const QString timeText = series.timeStamp ? found.captured(series.dateStamp ? 2 : 1) : QString();
        const std::optional<QDateTime> moment = stampedMoment(dateText, timeText);
        if (!moment
            || ArchiveBaseName(series.prefix, dateText, timeText, series.folderName) + QStringLiteral(".zip") != name)
            continue;
        return Archive { name, series.dateStamp ? *moment : QDateTime(), file.lastModified() };
    }
    return std::nullopt;
}

bool newerFirst(const Archive& a, const Archive& b)
{
    if (a.stamped != b.stamped)
        return a.stamped > b.stamped;
    if (a.modified != b.modified)
        return a.modified > b.modified;
    return a.fileName > b.fileName;
}

} // namespace

namespace {

// The series' archives other than newArchive, newest first.
QList<Archive> olderArchives(const ArchiveSeries& series, const QString& newArchive)
{
    const QString newName = QFileInfo(newArchive).fileName();
    const QRegularExpression pattern = stampPattern(series);
    QList<Archive> older;
    // Links are not archives this program wrote.
    const QDir folder(series.backupFolder);
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
        if (file.fileName() == newName)
            continue;
        if (const std::optional<Archive> archive = seriesArchive(file, series, pattern))
            older.append(*archive);
    }
    std::sort(older.begin(), older.end(), newerFirst);
    return older;
}

} // namespace

QStringList ArchivesBeyondLast(const ArchiveSeries& series, const QString& newArchive, int keep, QChar separator)
{
    if (keep <= 0 || (!series.dateStamp && !series.timeStamp))
        return {};
    const QList<Archive> older = olderArchives(series, newArchive);
    QStringList beyond;
    for (qsizetype i = older.size() - 1; i >= keep - 1; --i)
        beyond.append(ArchivePath(series.backupFolder, older.at(i).fileName.chopped(4), separator));
    return beyond;
}

QString LatestArchiveBefore(const ArchiveSeries& series, const QString& newArchive, QChar separator)
{
    if (!series.dateStamp && !series.timeStamp)
        return {};
    const QList<Archive> older = olderArchives(series, newArchive);
    return older.isEmpty() ? QString() : ArchivePath(series.backupFolder, older.first().fileName.chopped(4), separator);
}

QStringList SeriesArchives(const ArchiveSeries& series, QChar separator)
{
    QStringList archives;
    if (!series.dateStamp && !series.timeStamp) {
        const QString only = ArchivePath(
            series.backupFolder, ArchiveBaseName(series.prefix, QString(), QString(), series.folderName), separator);
        const QFileInfo file(only);
        if (file.isFile() && !file.isSymLink())
            archives.append(only);
        return archives;
    }
    for (const Archive& archive : olderArchives(series, QString()))
        archives.append(ArchivePath(series.backupFolder, archive.fileName.chopped(4), separator));
    return archives;
}

int KeepLastFromText(const QString& text, int largest)
{
    const bool digitsOnly
        = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    bool number = false;
    const int value = text.toInt(&number);
    return digitsOnly && number && value <= largest ? value : 0;
}
