#include "backup/BackupRun.h"

#include "backup/ArchiveName.h"
#include "backup/BackupChoices.h"
#include "backup/BackupDisk.h"
#include "backup/Clock.h"
#include "backup/FolderWalk.h"
#include "backup/KeepLast.h"
#include "backup/LastBackups.h"
#include "backup/PathHelpers.h"
#include "backup/RunControl.h"
#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "base/FileRoutines.h"
#include "base/Prompter.h"
#include "base/RoutineNames.h"
#include "base/StatusLine.h"
#include "history/HistoryLog.h"
#include "zip/ZipFileSet.h"
#include "zip/ZipLibrary.h"

#include <QDir>
#include <QFile>
#include <optional>

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
FolderOutcome backupFolder(ErrorTrap& trap, const BackupChoices& choices, int position, bool silent,
                           RunOutcome& outcome)
{
    const QChar separator = PathSeparator();
    // An entry removed while the run yields is reported; the positions after it are gone too, and
    // carrying on with an empty path would archive the root folder.
    const std::optional<QString> entry = trap.value(100, [&] { return choices.folderEntry(position); });
    if (!entry)
        return FolderOutcome::ListEnded;

    QString folderPath;
    QString folderName;
    QString archivePath;
    ArchiveSeries series;
    int keep = 0;
    trap.line(110, [&] {
        folderPath = FolderPathOf(*entry, separator);
        folderName = LastPathPart(folderPath, separator);
    });
    trap.line(120, [&] {
        const QString dateStamp = choices.dateStamped() ? DateStamp(Clock::currentDateTime()) : QString();
        const QString timeStamp = choices.timeStamped() ? TimeStamp(Clock::currentDateTime()) : QString();
        series = { choices.backupFolder(), choices.prefix(), folderName, !dateStamp.isEmpty(), !timeStamp.isEmpty() };
        keep = choices.keepLast();
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
        zip.setCancelCheck([] { return RunControl::CancelRequested(); });
        zip.setEventPump(YieldToEvents);
        // Files unchanged since the folder's last backup are copied from it, not compressed again.
        zip.setReuseFrom(LatestArchiveBefore(series, archivePath, separator));
    });
    trap.line(160, [&] { zip.addFile(folderPath + separator + QStringLiteral("*.*")); });
    QStringList subFolders;
    // A close during the walk ends it at once; the archive step then reports the cancel.
    const auto cancelled = [] { return RunControl::CancelRequested(); };
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
            // The set's message holds only what the engine printed, not why the call was refused.
            raised = error.description();
            throw;
        }
    });
    ++outcome.folders;
    if (result == 0 || result == ZipCode::FilesSkipped)
        trap.line(195, [&] { BackupDisk::Remember(series.backupFolder); });
    if (result == 0) {
        // The log's moment is the one kept as the folder's last complete backup.
        QDateTime finished;
        trap.line(200, [&] {
            finished = Clock::currentDateTime();
            AddToHistory(SuccessEntry(folderName, archivePath, RegionalDateTime(finished)));
        });
        trap.line(201, [&] { LastBackups::RecordComplete(*entry, finished); });
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
            // Every file is in it, some only as an earlier backup or a changing read had them.
            if (result == ZipCode::FilesKept)
                reason = archivePath + QStringLiteral(" was written, but these files in it are not as they are now:\n")
                    + reason;
        });
        // A closing window does not wait for a box nobody asked for.
        if (!silent && !RunControl::CancelRequested())
            trap.line(220, [&] {
                Prompter::instance().show(reason, ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::None);
            });
        trap.line(230, [&] { AddToHistory(FailureEntry(folderName, reason, CurrentDateTimeText())); });
    }
    trap.line(240, [&] { YieldToEvents(); });
    return FolderOutcome::Handled;
}

// The backup folder lies on another file system than the one last written to: this folder and
// every one after it get a failure entry, and nothing is written or removed.
void stopWithoutDisk(ErrorTrap& trap, const BackupChoices& choices, int from, int count, const QString& folder,
                     const QString& reason, bool silent, StatusLine& status, RunOutcome& outcome)
{
    const QString stopped = QStringLiteral("The backup disk is not connected (%1)").arg(folder);
    for (int position = from; position <= count; ++position) {
        const std::optional<QString> entry = trap.value(36, [&] { return choices.folderEntry(position); });
        if (!entry)
            break;
        const QString folderName = LastPathPart(FolderPathOf(*entry, PathSeparator()));
        if (outcome.failed == 0)
            outcome.firstFailed = folderName;
        ++outcome.folders;
        ++outcome.failed;
        trap.line(37, [&] { AddToHistory(FailureEntry(folderName, reason, CurrentDateTimeText())); });
    }
    if (from == 1)
        outcome.stoppedBecause = stopped;
    trap.line(38, [&] { status.setText(stopped); });
    if (!silent && !RunControl::CancelRequested())
        trap.line(39, [&] {
            Prompter::instance().show(stopped + QStringLiteral(": nothing was backed up."), ApplicationTitle(),
                                      Prompter::Buttons::Ok, Prompter::Icon::None);
        });
}

} // namespace

RunOutcome RunBackup(const BackupChoices& choices, StatusLine& status, bool silent)
{
    ErrorTrap trap(Routine::BackupRun);
    RunOutcome outcome;
    const std::optional<bool> listEmpty = trap.value(10, [&] {
        if (choices.folderCount() != 0)
            return false;
        status.setText(QStringLiteral("No files added to backup."));
        return true;
    });
    if (listEmpty.value_or(false))
        return outcome;
    const std::optional<bool> backupFolderMissing = trap.value(20, [&] {
        const QString backupFolder = choices.backupFolder();
        if (FolderExists(backupFolder))
            return false;
        const QString reason = backupFolder + QStringLiteral(" does not exist");
        status.setText(reason);
        // No folder of the list is backed up.
        outcome.stoppedBecause = reason;
        outcome.folders = outcome.failed = choices.folderCount();
        outcome.firstFailed = LastPathPart(FolderPathOf(choices.folderEntry(1), PathSeparator()));
        return true;
    });
    // Only the steps after the folder was found missing can fail, and the run stops then too.
    if (backupFolderMissing.value_or(true))
        return outcome;

    const int count = trap.value(30, [&] { return choices.folderCount(); }).value_or(0);
    for (int position = 1; position <= count; ++position) {
        if (RunControl::CancelRequested())
            return outcome;
        const QString folder = trap.value(35, [&] { return choices.backupFolder(); }).value_or(QString());
        const QString diskMissing
            = trap.value(35, [&] { return BackupDisk::NotConnectedReason(folder); }).value_or(QString());
        if (!diskMissing.isEmpty()) {
            stopWithoutDisk(trap, choices, position, count, folder, diskMissing, silent, status, outcome);
            return outcome;
        }
        if (backupFolder(trap, choices, position, silent, outcome) == FolderOutcome::ListEnded)
            break;
    }
    if (RunControl::CancelRequested())
        return outcome;
    if (!silent)
        trap.line(40, [&] {
            Prompter::instance().show(QStringLiteral("Done."), ApplicationTitle(), Prompter::Buttons::Ok,
                                      Prompter::Icon::None);
        });
    trap.line(50, [&] { status.setText(QStringLiteral("Auto Backup Complete at ") + CurrentDateTimeText()); });
    return outcome;
}
