#include "folders/FolderButtons.h"

#include "app/ErrorTrap.h"
#include "app/Form1.h"
#include "app/Launcher.h"
#include "app/Prompter.h"
#include "app/SettingsStore.h"
#include "backup/PathHelpers.h"
#include "folders/FolderListView.h"
#include "folders/FolderPicker.h"
#include "folders/SampleFolders.h"
#include "app/RoutineNames.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

FolderButtons::FolderButtons(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    Form1* window = &m_form;
    m_form.ListView1->setBusyQuery([window] { return window->isBusy(); });
    // Moving over the list gives the window back its arrow, never replacing the hourglass.
    m_form.ListView1->setHoverPointerRule([window] {
        if (!window->isBusy())
            window->setMousePointer(Form1::MousePointer::Default);
    });
    connect(m_form.PushButton7, &QPushButton::clicked, this, &FolderButtons::PushButton7_Click);
    connect(m_form.PushButton1, &QPushButton::clicked, this, &FolderButtons::PushButton1_Click);
    connect(m_form.PushButton8, &QPushButton::clicked, this, &FolderButtons::PushButton8_Click);
    connect(m_form.PushButton9, &QPushButton::clicked, this, &FolderButtons::PushButton9_Click);
}

// "Add Folder"
void FolderButtons::PushButton7_Click()
{
    ErrorTrap trap(Routine::AddFolder);
    QString chosen;
    trap.line(10, [&] { chosen = PickFolder(&m_form, QStringLiteral("Browse for folder:"), QString()); });
    if (chosen.isEmpty())
        return;
    trap.line(20, [&] { m_form.ListView1->AppendEntry(chosen); });
}

// "..." beside the backup folder. "LastFolder" is only ever read: nothing in the program writes it.
void FolderButtons::PushButton1_Click()
{
    ErrorTrap trap(Routine::ChooseBackupFolder);
    QString initial;
    QString chosen;
    trap.line(10, [&] { initial = SettingsStore::ReadSetting(SettingsKeys::LastFolder); });
    trap.line(20, [&] { chosen = PickFolder(&m_form, QStringLiteral("Please select folder:"), initial); });
    if (chosen.isEmpty())
        return;
    trap.line(30, [&] { m_form.Text5->setText(chosen); });
}

// "Clear List"
void FolderButtons::PushButton8_Click()
{
    ErrorTrap trap(Routine::ClearList);
    trap.line(10, [&] { m_form.ListView1->ClearEntries(); });
}

// "Load Sample/Example Folders": appends every sample folder at every depth, level by level.
void FolderButtons::PushButton9_Click()
{
    ErrorTrap trap(Routine::LoadSamples);
    QString samples;
    QString start;
    QStringList folderSet;
    trap.line(10, [&] { samples = SamplesFolder(); });
    trap.line(20, [&] { m_form.setMousePointer(Form1::MousePointer::Busy); });
    // The doubled separator comes from the join; the entries are collapsed before they are listed.
    trap.line(30, [&] { 
        start = samples + QDir::separator();
        folderSet = QStringList{start};
    });
    trap.line(40, [&] { GetSubDirectories2016(folderSet, true); });
    trap.line(50, [&] {
        for (qsizetype i = 0; i < folderSet.size(); ++i) {
            m_form.setMousePointer(Form1::MousePointer::Busy);
            // The samples folder itself heads the set (unless it could not be listed at all).
            if (i == 0 && folderSet.at(0) == start)
                continue;
            m_form.ListView1->AppendEntry(CollapseBackslashes(folderSet.at(i)));
        }
    });
    trap.line(60, [&] { m_form.setMousePointer(Form1::MousePointer::Default); });
    Prompter::Answer answer = Prompter::Answer::No;
    trap.line(70, [&] {
        answer = Prompter::instance().show(QLatin1String(OpenSamplesQuestion), ApplicationTitle(),
                                           Prompter::Buttons::YesNo, Prompter::Icon::None);
    });
    if (answer == Prompter::Answer::Yes)
        trap.line(80, [&] { Launcher::instance().openPath(samples); });
}
