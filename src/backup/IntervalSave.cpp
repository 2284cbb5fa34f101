#include "backup/IntervalSave.h"

#include "app/AppError.h"
#include "app/ErrorTrap.h"
#include "app/EventYield.h"
#include "app/FileRoutines.h"
#include "app/Form1.h"
#include "app/Prompter.h"
#include "backup/ArchiveName.h"
#include "backup/Clock.h"
#include "backup/FolderWalk.h"
#include "backup/HistoryLog.h"
#include "backup/PathHelpers.h"
#include "backup/RunControl.h"
#include "folders/FolderListView.h"
#include "zip/CGZipFiles.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>

namespace {

enum class FolderOutcome
{
    Handled,
    ListEnded
};

// One folder of the run, steps numbered as the error box reports them.
FolderOutcome backupFolder(ErrorTrap& trap, Form1& form, FolderListView& list, int position, bool silent)
{
    const QChar separator = PathSeparator();
    QString entry;
    // An entry removed while the run yields is reported; the positions after it are gone too, and
    // carrying on with an empty path would archive the root folder.
    if (!trap.line(100, [&] { entry = list.EntryText(position); }))
        return FolderOutcome::ListEnded;

    QString folderPath;
    QString folderName;
    QString archivePath;
    trap.line(110, [&] {
        folderPath = FolderPathOf(entry, separator);
        folderName = LastPathPart(folderPath, separator);
    });
    trap.line(120, [&] {
        const QString dateStamp
            = form.Check1->checkState() == Qt::Checked ? DateStamp(Clock::currentDateTime()) : QString();
        const QString timeStamp
            = form.Check2->checkState() == Qt::Checked ? TimeStamp(Clock::currentDateTime()) : QString();
        const QString baseName = ArchiveBaseName(form.Text1->text(), dateStamp, timeStamp, folderName);
        archivePath = ArchivePath(form.Text5->text(), baseName, separator);
    });
    // No delete of the old archive here: the zip layer replaces it only once the new one is
    // complete, so a failed run leaves the previous backup in place.
    trap.line(130, [&] { YieldToEvents(); });
    trap.line(140, [&] { QDir::setCurrent(ProgramFolder()); });

    CGZipFiles zip;
    trap.line(150, [&] {
        zip.setZipFileName(archivePath);
        zip.setUpdatingZip(false);
    });
    trap.line(160, [&] { zip.AddFile(folderPath + separator + QStringLiteral("*.*")); });
    QStringList subFolders;
    // A close during the walk ends it at once; the archive step then reports the cancel.
    const auto cancelled = [] { return RunControl::cancelRequested(); };
    trap.line(170, [&] { CollectSubFolders(folderPath + separator, subFolders, true, cancelled); });
    for (const QString& subFolder : std::as_const(subFolders)) {
        if (cancelled())
            break;
        trap.line(180, [&] { zip.AddFile(subFolder + QStringLiteral("*.*")); });
    }
    subFolders.clear();

    int result = -1;
    QString raised;
    trap.line(190, [&] {
        try {
            result = zip.MakeZipFile();
        } catch (const AppError& error) {
            // The shared last message would still be the previous archive's text.
            raised = error.description();
            throw;
        }
    });
    if (result == 0) {
        trap.line(200, [&] { AddToHistory(SuccessEntry(folderName, archivePath, CurrentDateTimeText())); });
    } else {
        QString reason;
        trap.line(210, [&] { reason = raised.isEmpty() ? zip.GetLastMessage() : raised; });
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

void SaveAll(Form1& form, FolderListView& FolderList, QGroupBox& StatusFrame, bool Silent)
{
    ErrorTrap trap(QStringLiteral("IntervalSave.SaveAll"));
    bool stop = false;
    trap.line(10, [&] {
        if (FolderList.EntryCount() == 0) {
            StatusFrame.setTitle(QStringLiteral("No files added to backup."));
            stop = true;
        }
    });
    if (stop)
        return;
    trap.line(20, [&] {
        const QString backupFolder = form.Text5->text();
        if (!FolderExists(backupFolder)) {
            StatusFrame.setTitle(backupFolder + QStringLiteral(" does not exist"));
            stop = true;
        }
    });
    if (stop)
        return;

    int count = 0;
    trap.line(30, [&] { count = FolderList.EntryCount(); });
    for (int position = 1; position <= count; ++position) {
        if (RunControl::cancelRequested())
            return;
        if (backupFolder(trap, form, FolderList, position, Silent) == FolderOutcome::ListEnded)
            break;
    }
    if (RunControl::cancelRequested())
        return;
    if (!Silent)
        trap.line(40, [&] {
            Prompter::instance().show(QStringLiteral("Done."), ApplicationTitle(), Prompter::Buttons::Ok,
                                      Prompter::Icon::None);
        });
    trap.line(50, [&] { StatusFrame.setTitle(QStringLiteral("Auto Backup Complete at ") + CurrentDateTimeText()); });
}
