#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// One folder's stamped archives in the backup folder: what the naming rule writes for one prefix,
// one folder name and one choice of stamps.
struct ArchiveSeries
{
    QString backupFolder;
    QString prefix;
    QString folderName;
    bool dateStamp = false;
    bool timeStamp = false;
};

// The archives of the series beyond the last `keep`, oldest first, as paths built like the new
// archive's. The new archive always stays and counts as one of the `keep`. Nothing when `keep` is 0
// or the series carries no stamp (its one archive is replaced in place). Only regular files whose
// whole name the naming rule gives for the series count; their order is the one their stamps give,
// the modification time where the stamps do not decide.
QStringList ArchivesBeyondLast(const ArchiveSeries& series, const QString& newArchive, int keep, QChar separator);

// The newest archive of the series other than newArchive, or nothing (also when the series carries
// no stamp: its one archive is newArchive itself).
QString LatestArchiveBefore(const ArchiveSeries& series, const QString& newArchive, QChar separator);

// Every archive of the series, newest first, as paths built like the run's: the stamped ones in the
// order ArchivesBeyondLast uses; without stamps, the series' one archive when it is a regular file.
QStringList SeriesArchives(const ArchiveSeries& series, QChar separator);

// A stored number of archives to keep: a whole number from 0 to `largest`, anything else 0 (keep all).
int KeepLastFromText(const QString& text, int largest);
