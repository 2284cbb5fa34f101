#pragma once

#include <QChar>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// How a run names archives: the user's choices.
struct ArchiveNaming
{
    QString backupFolder;
    QString prefix;
    bool dateStamp = false;
    bool timeStamp = false;
};

// One folder's archives in the backup folder: what the naming rule writes for one name of a folder
// (ArchiveFolderName) under one naming.
struct ArchiveSeries
{
    ArchiveNaming naming;
    QString folderName;

    bool stamped() const { return naming.dateStamp || naming.timeStamp; }
};

struct SeriesArchive
{
    QString path; // built like the archive paths of the run
    QDateTime stamped; // invalid when the name carries no date
    QDateTime modified;
    // When the archive was written, as far as can be told: its stamps (its modification time where
    // that lies within the minute or the day they name), or its modification time where the stamps
    // lie later than `now` (a clock that was ahead when it was written). Invalid when neither can
    // be trusted.
    QDateTime written;
};

// The series' archives other than `except`, newest first, by when they were written (see
// SeriesArchive::written); those whose time cannot be told come last. Only regular files whose
// whole name the naming rule gives for the series count.
QList<SeriesArchive> SeriesArchives(const ArchiveSeries& series, const QDateTime& now, QChar separator,
                                    const QString& except = {});

// The archive whose unchanged data the next archive of the series reuses: the newest other than
// newArchive that was not stamped later than `now` (any other when all were), or nothing. A series
// without stamps has only newArchive itself.
QString LatestArchiveBefore(const ArchiveSeries& series, const QString& newArchive, const QDateTime& now,
                            QChar separator);
