#pragma once

#include "backup/ArchiveSeries.h"
#include "zip/ArchiveSummary.h"

#include <QChar>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// What keep-last does once a folder's new archive is written: which older archives of its series
// go, and which are kept beyond the last `keep` and why. Complete archives are those that hold
// every file asked for (see ArchiveSummary.h).
struct Pruning
{
    QStringList removed; // oldest first
    // Set when the new archive holds far fewer files or bytes than the complete archive before
    // it: then no older archive goes.
    std::optional<QString> shrunkFrom;
    ArchiveSummary newSummary;
    ArchiveSummary shrunkFromSummary;
    // Archives kept although they are not among the last `keep`: the newest complete one, and the
    // last full backup (the newest complete archive that does not fall far short of the full one
    // before it; every complete archive after it does).
    QString keptComplete;
    QString keptFull;

    // What the folder's history line says of it: empty when only the last `keep` are kept.
    QString note() const;
};

// True when `later` holds far fewer files or bytes than `earlier`: less than half of either. A folder
// in daily use changes by far less from one backup to the next; losing half of its files or bytes
// at once is what an accidental delete, a sync gone wrong or a folder replaced by another looks
// like, and the price of a false alarm is one older archive kept.
bool FarSmaller(const ArchiveSummary& later, const ArchiveSummary& earlier);

// Keeps the series' last `keep` archives (the new one among them, their order as SeriesArchives
// gives it at `now`) and, beyond them, the newest complete archive and the last full backup.
// Nothing goes when `keep` is 0, when the series carries no stamp (its one archive is replaced in
// place) or when the new archive holds far fewer files or bytes than the complete one before it.
Pruning PlanPruning(const ArchiveSeries& series, const QString& newArchive, int keep, const QDateTime& now,
                    QChar separator);

// A stored number of archives to keep: a whole number from 0 to `largest`, anything else 0 (keep all).
int KeepLastFromText(const QString& text, int largest);
