#include "restore/RestoreLog.h"

#include "restore/RestoreRun.h"
#include "restore/ShownText.h"

QString RestoreEntry(const QString& folderName, const QString& archivePath, const QString& target,
                     const SourceOutcome& outcome, const QString& stoppedBecause, const QString& dateTime)
{
    const QString files = ShownCount(outcome.restored, "file", "files");
    const QString kept
        = outcome.kept == 0 ? QString() : QStringLiteral(", %1 existing kept as before restore").arg(outcome.kept);
    if (stoppedBecause.isEmpty() && outcome.problems.isEmpty())
        return QStringLiteral("%1 was restored from %2 to %3 (%4%5) at %6")
            .arg(folderName, archivePath, target, files, kept, dateTime);
    QString reason = stoppedBecause;
    if (!outcome.problems.isEmpty())
        reason += (reason.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("these were not restored:\r\n")
            + outcome.problems.join(QStringLiteral("\r\n"));
    return QStringLiteral("%1 was not restored in full from %2 to %3 (%4%5) because %6, %7")
        .arg(folderName, archivePath, target, files, kept, reason, dateTime);
}
