#include "backup/KeepLast.h"

#include <algorithm>
#include <vector>

namespace {

bool isComplete(const std::optional<ArchiveSummary>& summary)
{
    return summary && summary->complete;
}

} // namespace

QString Pruning::note() const
{
    QStringList notes;
    if (shrunkFrom)
        notes << QStringLiteral("it holds %1 files of %2 bytes, far fewer than the %3 files of %4 bytes in %5, so no "
                                "older backup was removed")
                     .arg(newSummary.files)
                     .arg(newSummary.bytes)
                     .arg(shrunkFromSummary.files)
                     .arg(shrunkFromSummary.bytes)
                     .arg(*shrunkFrom);
    if (!keptComplete.isEmpty())
        notes << QStringLiteral("%1 was kept as the newest backup that holds every file").arg(keptComplete);
    if (!keptFull.isEmpty())
        notes << QStringLiteral("%1 was kept as the backups after it hold far fewer files or bytes").arg(keptFull);
    return notes.join(QStringLiteral("; "));
}

bool FarSmaller(const ArchiveSummary& later, const ArchiveSummary& earlier)
{
    return later.files * 2 < earlier.files || later.bytes * 2 < earlier.bytes;
}

Pruning PlanPruning(const ArchiveSeries& series, const QString& newArchive, int keep, const QDateTime& now,
                    QChar separator)
{
    Pruning pruning;
    if (keep <= 0 || !series.stamped())
        return pruning;
    const QList<SeriesArchive> older = SeriesArchives(series, now, separator, newArchive);
    std::vector<std::optional<ArchiveSummary>> summaries;
    for (const SeriesArchive& archive : older)
        summaries.push_back(ReadArchiveSummary(archive.path));
    const std::optional<ArchiveSummary> fresh = ReadArchiveSummary(newArchive);
    pruning.newSummary = fresh.value_or(ArchiveSummary {});

    // The newest complete archive before the new one.
    const auto previous = std::find_if(summaries.begin(), summaries.end(), isComplete) - summaries.begin();
    const bool previousExists = previous < older.size();
    if (fresh && previousExists && FarSmaller(*fresh, *summaries[previous])) {
        pruning.shrunkFrom = older[previous].path;
        pruning.shrunkFromSummary = *summaries[previous];
        return pruning;
    }
    // The last full backup, from the oldest archive on: a complete archive that does not fall far
    // short of the last full one before it takes its place. -1 stands for the new archive.
    qsizetype full = -1;
    std::optional<ArchiveSummary> reference;
    for (qsizetype i = older.size() - 1; i >= 0; --i) {
        if (isComplete(summaries[i]) && (!reference || !FarSmaller(*summaries[i], *reference))) {
            reference = summaries[i];
            full = i;
        }
    }
    if (isComplete(fresh) && (!reference || !FarSmaller(*fresh, *reference)))
        full = -1;
    const qsizetype newestComplete = isComplete(fresh) || !previousExists ? -1 : previous;

    for (qsizetype i = older.size() - 1; i >= keep - 1 && i >= 0; --i) {
        if (i == newestComplete)
            pruning.keptComplete = older[i].path;
        else if (i == full)
            pruning.keptFull = older[i].path;
        else
            pruning.removed.append(older[i].path);
    }
    return pruning;
}

int KeepLastFromText(const QString& text, int largest)
{
    const bool digitsOnly
        = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    bool number = false;
    const int value = text.toInt(&number);
    return digitsOnly && number && value <= largest ? value : 0;
}
