#include "folders/FolderButtons.h"

#include "base/ErrorTrap.h"
#include "window/MainWindow.h"
#include "base/Launcher.h"
#include "base/Prompter.h"
#include "base/SettingsStore.h"
#include "backup/PathHelpers.h"
#include "folders/FolderListView.h"
#include "folders/FolderPicker.h"
#include "folders/SampleFolders.h"
#include "base/RoutineNames.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

FolderButtons::FolderButtons(MainWindow& form)
    : QObject(&form)
    , m_form(form)
{
    MainWindow* window = &m_form;
    m_form.controls().folderList->setBusyQuery([window] { return window->isBusy(); });
    // Moving over the list gives the window back its arrow, never replacing the hourglass.
    m_form.controls().folderList->setHoverPointerRule([window] {
        if (!window->isBusy())
            window->setMousePointer(MainWindow::MousePointer::Default);
    });
    connect(m_form.controls().addFolderButton, &QPushButton::clicked, this, &FolderButtons::addFolder);
    connect(m_form.controls().chooseBackupFolderButton, &QPushButton::clicked, this, &FolderButtons::chooseBackupFolder);
    connect(m_form.controls().clearListButton, &QPushButton::clicked, this, &FolderButtons::clearList);
    connect(m_form.controls().loadSamplesButton, &QPushButton::clicked, this, &FolderButtons::loadSamples);
}

// "Add Folder"
void FolderButtons::addFolder()
{
    ErrorTrap trap(Routine::AddFolder);
    QString chosen;
    trap.line(10, [&] { chosen = PickFolder(&m_form, QStringLiteral("Browse for folder:"), QString()); });
    if (chosen.isEmpty())
        return;
    trap.line(20, [&] { m_form.controls().folderList->appendEntry(chosen); });
}

// "..." beside the backup folder. "LastFolder" is only ever read: nothing in the program writes it.
void FolderButtons::chooseBackupFolder()
{
    ErrorTrap trap(Routine::ChooseBackupFolder);
    QString initial;
    QString chosen;
    trap.line(10, [&] { initial = SettingsStore::ReadSetting(SettingsKeys::LastAddedFolder); });
    trap.line(20, [&] { chosen = PickFolder(&m_form, QStringLiteral("Please select folder:"), initial); });
    if (chosen.isEmpty())
        return;
    trap.line(30, [&] { m_form.controls().backupFolderEdit->setText(chosen); });
}

// "Clear List"
void FolderButtons::clearList()
{
    ErrorTrap trap(Routine::ClearList);
    trap.line(10, [&] { m_form.controls().folderList->clearEntries(); });
}

// "Load Sample/Example Folders": appends every sample folder at every depth, level by level.
void FolderButtons::loadSamples()
{
    ErrorTrap trap(Routine::LoadSamples);
    QString samples;
    QString start;
    QStringList folderSet;
    trap.line(10, [&] { samples = SamplesFolder(); });
    trap.line(20, [&] { m_form.setMousePointer(MainWindow::MousePointer::Busy); });
    // The doubled separator comes from the join; the entries are collapsed before they are listed.
    trap.line(30, [&] { 
        start = samples + QDir::separator();
        folderSet = QStringList{start};
    });
    trap.line(40, [&] { GetSubDirectories2016(folderSet, true); });
    trap.line(50, [&] {
        for (qsizetype i = 0; i < folderSet.size(); ++i) {
            m_form.setMousePointer(MainWindow::MousePointer::Busy);
            // The samples folder itself heads the set (unless it could not be listed at all).
            if (i == 0 && folderSet.at(0) == start)
                continue;
            m_form.controls().folderList->appendEntry(CollapseBackslashes(folderSet.at(i)));
        }
    });
    trap.line(60, [&] { m_form.setMousePointer(MainWindow::MousePointer::Default); });
    Prompter::Answer answer = Prompter::Answer::No;
    trap.line(70, [&] {
        answer = Prompter::instance().show(QLatin1String(OpenSamplesQuestion), ApplicationTitle(),
                                           Prompter::Buttons::YesNo, Prompter::Icon::None);
    });
    if (answer == Prompter::Answer::Yes)
        trap.line(80, [&] { Launcher::instance().openPath(samples); });
}
