#include "app/Form1.h"

#include "app/CheckState.h"
#include "app/CursorFile.h"
#include "app/ErrorTrap.h"
#include "app/FileRoutines.h"
#include "app/HomePage.h"
#include "app/Prompter.h"
#include "app/SettingsStore.h"
#include "app/Skin.h"
#include "app/TextRoutines.h"
#include "app/Twips.h"
#include "app/WindowTimer.h"
#include "backup/HistoryButtons.h"
#include "backup/HistoryFile.h"
#include "backup/KeepLast.h"
#include "backup/RunControl.h"
#include "desktop/FailureNotice.h"
#include "desktop/StartWithSystem.h"
#include "desktop/TrayWindowBehaviour.h"
#include "desktop/cSysTray.h"
#include "folders/DestinationOptions.h"
#include "folders/FolderButtons.h"
#include "folders/FolderListView.h"
#include "schedule/ScheduleController.h"
#include "app/RoutineNames.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>

namespace {
const QString DisplayName = QStringLiteral("Tessaly");
}

Form1::Form1(QWidget* parent)
    : QWidget(parent)
{
    createControls();
    m_destination = new DestinationOptions(*this);
    m_folderButtons = new FolderButtons(*this);
    m_schedule = new ScheduleController(*this);
    m_startWithSystem = new StartWithSystem(*this);
    m_trayBehaviour = new TrayWindowBehaviour(*this);
    m_history = new HistoryButtons(*this);
    m_notice = new FailureNotice(*this, *m_history);
}

Form1::~Form1() = default;

QString Form1::status() const { return Frame1->title(); }

void Form1::setStatus(const QString& caption) { Frame1->setTitle(caption); }

void Form1::setMousePointer(MousePointer pointer)
{
    m_pointer = pointer;
    switch (pointer) {
    case MousePointer::Default: unsetCursor(); break;
    case MousePointer::Busy: setCursor(Qt::WaitCursor); break;
    case MousePointer::Custom: setCursor(m_hasCustomPointer ? m_handCursor : QCursor(Qt::PointingHandCursor)); break;
    }
}

void Form1::loadHandPointer()
{
    const QString path = ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (!FileExists(path))
        return;
    if (const auto cursor = LoadCursorFile(path)) {
        m_handCursor = *cursor;
        m_hasCustomPointer = true;
    }
}

void Form1::restoreCheckBox(QCheckBox* box, const QString& stored)
{
    const QString source = Routine::WindowLoad;
    box->setCheckState(CheckStateFromValue(ToInteger16(stored, source), source));
}

void Form1::Form_Load()
{
    ErrorTrap trap(Routine::WindowLoad);
    trap.line(10, [&] { ApplySkin(*this); });
    trap.line(20, [&] { IsLoading = true; });
    trap.line(30, [&] {
        setWindowTitle(DisplayName);
        setWindowIcon(QIcon(QStringLiteral(":/icons/tessaly.png")));
        SetApplicationTitle(ShortTitle(DisplayName));
    });
    trap.line(40, [&] { MaybeOpenHomePage(); });
    trap.line(50, [&] { loadHandPointer(); });
    trap.line(60, [&] {
        ListView1->setHeaderLabels({QStringLiteral("Folder(s) To Zip And Backup")});
        ListView1->header()->resizeSection(0, TwipsToPixels(7000));
        const QString folders = SettingsStore::ReadSetting(SettingsKeys::Folders);
        if (!folders.isEmpty())
            ListView1->DecodeFolders(folders);
        m_listRestored = true;
    });
    trap.line(70, [&] { Text5->setText(SettingsStore::ReadSetting(QLatin1String(SettingsKeys::Path.name), DesktopFolder())); });
    trap.line(80, [&] { m_schedule->fillIntervalList(); });
    trap.line(81, [&] { m_schedule->selectStoredInterval(); });
    trap.line(90, [&] { m_schedule->applyStoredSwitchState(); });
    trap.line(100, [&] {
        cSysTray1->setTrayTip(DisplayName);
        setWindowIcon(QIcon(QStringLiteral(":/icons/tessaly.png")));
        cSysTray1->setTrayIcon(windowIcon());
        cSysTray1->setInTray(true);
    });
    trap.line(110, [&] { m_startWithSystem->restoreOption(); });
    trap.line(120, [&] { m_trayBehaviour->applyStartInTray(); });
    trap.line(130, [&] { Text1->setText(SettingsStore::ReadSetting(SettingsKeys::Text1)); });
    trap.line(140, [&] { restoreCheckBox(Check1, SettingsStore::ReadSetting(SettingsKeys::Check1)); });
    trap.line(141, [&] { restoreCheckBox(Check2, SettingsStore::ReadSetting(SettingsKeys::Check2)); });
    trap.line(142, [&] {
        KeepLastBox->setValue(
            KeepLastFromText(SettingsStore::ReadSetting(SettingsKeys::KeepLast), KeepLastBox->maximum()));
    });
    trap.line(150, [&] { SetHistoryFile(HistoryFilePath(DisplayName)); });
    trap.line(160, [&] { IsLoading = false; });
}

void Form1::Form_QueryUnload()
{
    ErrorTrap trap(Routine::WindowUnload);
    trap.line(10, [&] {
        // Closed during start-up before the list was restored, the list on screen is not the user's.
        if (!IsLoading || m_listRestored)
            SettingsStore::WriteSetting(SettingsKeys::Folders, ListView1->EncodeFolders());
    });
    trap.line(20, [&] { Timer1->setInterval(0); });
    trap.line(30, [&] { cSysTray1->setInTray(false); });
    trap.line(40, [&] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    });
}

void Form1::bringForward()
{
    m_trayBehaviour->showNormalWindow();
    raise();
    activateWindow();
}

void Form1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_trayBehaviour->windowStateChanged();
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        // A run in progress abandons the archive it is writing; the previous one stays.
        if (RunControl::isRunning())
            RunControl::requestCancel();
        Form_QueryUnload();
    }
    event->accept();
    // Unloading the window ends the whole program.
    QCoreApplication::exit(0);
}
