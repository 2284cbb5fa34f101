#include "folders/FolderButtons.h"

#include "backup/BackupDisk.h"
#include "backup/PathHelpers.h"
#include "base/ErrorTrap.h"
#include "base/Launcher.h"
#include "base/Prompter.h"
#include "base/RoutineNames.h"
#include "base/SettingsStore.h"
#include "base/WindowPointer.h"
#include "folders/FolderListView.h"
#include "folders/FolderPicker.h"
#include "folders/SampleFolders.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

FolderButtons::FolderButtons(QWidget& window, WindowPointer& pointer, const Controls& controls)
    : QObject(&window)
    , m_window(window)
    , m_pointer(pointer)
    , m_folderList(controls.folderList)
    , m_backupFolderEdit(controls.backupFolderEdit)
{
    WindowPointer* shown = &m_pointer;
    m_folderList->setBusyQuery([shown] { return shown->isBusy(); });
    // Moving over the list gives the window back its arrow, never replacing the hourglass.
    m_folderList->setHoverPointerRule([shown] {
        if (!shown->isBusy())
            shown->set(MousePointer::Default);
    });
    connect(controls.addFolderButton, &QPushButton::clicked, this, &FolderButtons::addFolder);
    connect(controls.chooseBackupFolderButton, &QPushButton::clicked, this, &FolderButtons::chooseBackupFolder);
    connect(controls.clearListButton, &QPushButton::clicked, this, &FolderButtons::clearList);
    connect(controls.loadSamplesButton, &QPushButton::clicked, this, &FolderButtons::loadSamples);
}

// "Add Folder"
void FolderButtons::addFolder()
{
    ErrorTrap trap(Routine::AddFolder);
    const auto chosen
        = trap.value(10, [&] { return PickFolder(&m_window, QStringLiteral("Browse for folder:"), QString()); });
    if (!chosen || chosen->isEmpty())
        return;
    trap.line(20, [&] { m_folderList->appendEntry(*chosen); });
}

// "..." beside the backup folder. "LastFolder" is only ever read: nothing in the program writes it.
void FolderButtons::chooseBackupFolder()
{
    ErrorTrap trap(Routine::ChooseBackupFolder);
    // An initial folder that cannot be read leaves the picker at its own starting place.
    const QString initial
        = trap.value(10, [] { return SettingsStore::ReadSetting(SettingsKeys::LastAddedFolder); }).value_or(QString());
    const auto chosen
        = trap.value(20, [&] { return PickFolder(&m_window, QStringLiteral("Please select folder:"), initial); });
    if (!chosen || chosen->isEmpty())
        return;
    trap.line(30, [&] { m_backupFolderEdit->setText(*chosen); });
    // Chosen again, also when it is the same folder: taken on whatever disk it is now.
    trap.line(40, [&] { BackupDisk::Forget(); });
}

// "Clear List"
void FolderButtons::clearList()
{
    ErrorTrap trap(Routine::ClearList);
    trap.line(10, [&] { m_folderList->clearEntries(); });
}

// "Load Sample/Example Folders": appends every sample folder at every depth, level by level.
void FolderButtons::loadSamples()
{
    ErrorTrap trap(Routine::LoadSamples);
    const QString samples = trap.value(10, [] { return SamplesFolder(); }).value_or(QString());
    QString start;
    QStringList folderSet;
    trap.line(20, [&] { m_pointer.set(MousePointer::Busy); });
    // The doubled separator comes from the join; the entries are collapsed before they are listed.
    trap.line(30, [&] {
        start = samples + QDir::separator();
        folderSet = QStringList { start };
    });
    trap.line(40, [&] { GetSubDirectories2016(folderSet, true); });
    trap.line(50, [&] {
        for (qsizetype i = 0; i < folderSet.size(); ++i) {
            m_pointer.set(MousePointer::Busy);
            // The samples folder itself heads the set (unless it could not be listed at all).
            if (i == 0 && folderSet.at(0) == start)
                continue;
            m_folderList->appendEntry(CollapseBackslashes(folderSet.at(i)));
        }
    });
    trap.line(60, [&] { m_pointer.set(MousePointer::Default); });
    const auto answer = trap.value(70, [] {
        return Prompter::instance().show(QLatin1String(OpenSamplesQuestion), ApplicationTitle(),
                                         Prompter::Buttons::YesNo, Prompter::Icon::None);
    });
    if (answer == Prompter::Answer::Yes)
        trap.line(80, [&] { Launcher::instance().openPath(samples); });
}
