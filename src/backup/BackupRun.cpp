#include "backup/BackupRun.h"

#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "base/FileRoutines.h"
#include "window/MainWindow.h"
#include "base/Prompter.h"
#include "backup/ArchiveName.h"
#include "backup/Clock.h"
#include "backup/FolderWalk.h"
#include "history/HistoryLog.h"
#include "backup/KeepLast.h"
#include "backup/PathHelpers.h"
#include "backup/RunControl.h"
#include "folders/FolderListView.h"
#include "zip/ZipFileSet.h"
#include "zip/ZipLibrary.h"
#include "base/RoutineNames.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

namespace {

enum class FolderOutcome
{
    Handled,
    ListEnded
};

// Removes the folder's archives beyond the last `keep`, oldest first, one log entry for each.
void removeOldBackups(const ArchiveSeries& series, const QString& newArchive, int keep)
{
    for (const QString& old : ArchivesBeyondLast(series, newArchive, keep, PathSeparator())) {
        if (QFile::remove(old))
            AddToHistory(RemovalEntry(old, keep));
    }
}

// One folder of the run, steps numbered as the error box reports them.
FolderOutcome backupFolder(ErrorTrap& trap, MainWindow& form, FolderListView& list, int position, bool silent,
                           RunOutcome& outcome)
{
    const QChar separator = PathSeparator();
    QString entry;
    // An entry removed while the run yields is reported; the positions after it are gone too, and
    // carrying on with an empty path would archive the root folder.
    if (!trap.line(100, [&] { entry = list.entryText(position); }))
        return FolderOutcome::ListEnded;

    QString folderPath;
    QString folderName;
    QString archivePath;
    ArchiveSeries series;
    int keep = 0;
    trap.line(110, [&] {
        folderPath = FolderPathOf(entry, separator);
        folderName = LastPathPart(folderPath, separator);
    });
    trap.line(120, [&] {
        const QString dateStamp
            = form.controls().dateStampBox->checkState() == Qt::Checked ? DateStamp(Clock::currentDateTime()) : QString();
        const QString timeStamp
            = form.controls().timeStampBox->checkState() == Qt::Checked ? TimeStamp(Clock::currentDateTime()) : QString();
        series = {form.controls().backupFolderEdit->text(), form.controls().prefixEdit->text(), folderName, !dateStamp.isEmpty(), !timeStamp.isEmpty()};
        keep = form.controls().keepLastBox->value();
        const QString baseName = ArchiveBaseName(series.prefix, dateStamp, timeStamp, folderName);
        archivePath = ArchivePath(series.backupFolder, baseName, separator);
    });
    // No delete of the old archive here: the zip layer replaces it only once the new one is
    // complete, so a failed run leaves the previous backup in place.
    trap.line(130, [&] { YieldToEvents(); });
    trap.line(140, [&] { QDir::setCurrent(ProgramFolder()); });

    ZipFileSet zip;
    trap.line(150, [&] {
        zip.setZipFileName(archivePath);
        zip.setUpdatingZip(false);
        zip.setCancelCheck([] { return RunControl::cancelRequested(); });
        zip.setEventPump(YieldToEvents);
        // Files unchanged since the folder's last backup are copied from it, not compressed again.
        zip.setReuseFrom(LatestArchiveBefore(series, archivePath, separator));
    });
    trap.line(160, [&] { zip.addFile(folderPath + separator + QStringLiteral("*.*")); });
    QStringList subFolders;
    // A close during the walk ends it at once; the archive step then reports the cancel.
    const auto cancelled = [] { return RunControl::cancelRequested(); };
    trap.line(170, [&] { CollectSubFolders(folderPath + separator, subFolders, true, cancelled); });
    for (const QString& subFolder : std::as_const(subFolders)) {
        if (cancelled())
            break;
        trap.line(180, [&] { zip.addFile(subFolder + QStringLiteral("*.*")); });
    }
    subFolders.clear();

    int result = -1;
    QString raised;
    trap.line(190, [&] {
        try {
            result = zip.makeZipFile();
        } catch (const AppError& error) {
            // The shared last message would still be the previous archive's text.
            raised = error.description();
            throw;
        }
    });
    ++outcome.folders;
    if (result == 0) {
        trap.line(200, [&] { AddToHistory(SuccessEntry(folderName, archivePath, CurrentDateTimeText())); });
        // Only after a complete archive: one with files left out may lack what only an older one holds.
        trap.line(205, [&] { removeOldBackups(series, archivePath, keep); });
    } else {
        if (outcome.failed == 0)
            outcome.firstFailed = folderName.isEmpty() ? folderPath : folderName;
        ++outcome.failed;
        QString reason;
        trap.line(210, [&] {
            reason = raised.isEmpty() ? zip.lastMessage() : raised;
            // The archive was written and replaced the old one, only without the files named.
            if (result == ZipCode::FilesSkipped)
                reason = archivePath + QStringLiteral(" was written, but these files are missing from it:\n") + reason;
        });
        // A closing window does not wait for a box nobody asked for.
        if (!silent && !RunControl::cancelRequested())
            trap.line(220, [&] {
                Prompter::instance().show(reason, ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::None);
            });
        trap.line(230, [&] { AddToHistory(FailureEntry(folderName, reason, CurrentDateTimeText())); });
    }
    trap.line(240, [&] { YieldToEvents(); });
    return FolderOutcome::Handled;
}

} // namespace

RunOutcome RunBackup(MainWindow& form, FolderListView& FolderList, QGroupBox& StatusFrame, bool Silent)
{
    ErrorTrap trap(Routine::BackupRun);
    RunOutcome outcome;
    bool stop = false;
    trap.line(10, [&] {
        if (FolderList.entryCount() == 0) {
            StatusFrame.setTitle(QStringLiteral("No files added to backup."));
            stop = true;
        }
    });
    if (stop)
        return outcome;
    trap.line(20, [&] {
        const QString backupFolder = form.controls().backupFolderEdit->text();
        if (!FolderExists(backupFolder)) {
            StatusFrame.setTitle(backupFolder + QStringLiteral(" does not exist"));
            stop = true;
            // No folder of the list is backed up.
            outcome.stoppedBecause = StatusFrame.title();
            outcome.folders = outcome.failed = FolderList.entryCount();
            outcome.firstFailed = LastPathPart(FolderPathOf(FolderList.entryText(1), PathSeparator()));
        }
    });
    if (stop)
        return outcome;

    int count = 0;
    trap.line(30, [&] { count = FolderList.entryCount(); });
    for (int position = 1; position <= count; ++position) {
        if (RunControl::cancelRequested())
            return outcome;
        if (backupFolder(trap, form, FolderList, position, Silent, outcome) == FolderOutcome::ListEnded)
            break;
    }
    if (RunControl::cancelRequested())
        return outcome;
    if (!Silent)
        trap.line(40, [&] {
            Prompter::instance().show(QStringLiteral("Done."), ApplicationTitle(), Prompter::Buttons::Ok,
                                      Prompter::Icon::None);
        });
    trap.line(50, [&] { StatusFrame.setTitle(QStringLiteral("Auto Backup Complete at ") + CurrentDateTimeText()); });
    return outcome;
}
