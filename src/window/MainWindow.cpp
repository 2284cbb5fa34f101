#include "window/MainWindow.h"

#include "backup/KeepLast.h"
#include "backup/RunControl.h"
#include "base/CheckState.h"
#include "base/ErrorTrap.h"
#include "base/ExitDeadline.h"
#include "base/FileRoutines.h"
#include "base/HomePage.h"
#include "base/Prompter.h"
#include "base/RoutineNames.h"
#include "base/SettingsStore.h"
#include "base/Skin.h"
#include "base/TextRoutines.h"
#include "base/Twips.h"
#include "base/WindowTimer.h"
#include "desktop/FailureNotice.h"
#include "desktop/HoverPointer.h"
#include "desktop/StartWithSystem.h"
#include "desktop/TrayIcon.h"
#include "desktop/TrayWindowBehaviour.h"
#include "folders/DestinationOptions.h"
#include "folders/FolderButtons.h"
#include "folders/FolderListView.h"
#include "history/HistoryButtons.h"
#include "history/HistoryFile.h"
#include "restore/RestoreWindow.h"
#include "schedule/OverdueWatch.h"
#include "schedule/ScheduleController.h"
#include "window/RunAdapters.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

const QString DisplayName = QStringLiteral("Tessaly");

HoverPointer::Targets HoverTargets(QWidget* window, const MainWindowControls& c)
{
    return { .areas = { window, c.statusFrame, c.backupFolderFrame, c.optionsFrame, c.fileNameFrame },
             .boxes = { c.prefixEdit, c.backupFolderEdit },
             .list = c.intervalList,
             .buttons
             = { c.chooseBackupFolderButton, c.viewBackupFolderButton, c.viewHistoryButton, c.copyHistoryButton,
                 c.autoBackupButton, c.backupNowButton, c.addFolderButton, c.clearListButton, c.loadSamplesButton,
                 c.helpButton, c.clearHistoryButton, c.restoreButton } };
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent)
{
    createControls();
    const MainWindowControls& c = m_controls;
    m_destination = new DestinationOptions({ .backupFolderEdit = c.backupFolderEdit,
                                             .prefixEdit = c.prefixEdit,
                                             .dateStampBox = c.dateStampBox,
                                             .timeStampBox = c.timeStampBox,
                                             .keepLastBox = c.keepLastBox,
                                             .viewBackupFolderButton = c.viewBackupFolderButton },
                                           this);
    m_folderButtons = new FolderButtons(*this, m_pointer,
                                        { .folderList = c.folderList,
                                          .addFolderButton = c.addFolderButton,
                                          .clearListButton = c.clearListButton,
                                          .loadSamplesButton = c.loadSamplesButton,
                                          .backupFolderEdit = c.backupFolderEdit,
                                          .chooseBackupFolderButton = c.chooseBackupFolderButton });
    m_statusLine = std::make_unique<StatusFrameLine>(*c.statusFrame);
    m_backupChoices = std::make_unique<ControlsBackupChoices>(c);
    m_schedule = new ScheduleController(
        { c.intervalList, c.autoBackupButton, c.backupNowButton, c.countdownTimer, c.progressBar, c.catchUpBox },
        *m_statusLine, *m_backupChoices,
        { .starting = [this] { return isLoading(); },
          .setBusy = [this](bool busy) { setMousePointer(busy ? MousePointer::Busy : MousePointer::Default); },
          .runEnded =
              [this](const RunOutcome& outcome, bool timed) {
                  m_notice->runEnded(outcome, timed);
                  m_overdue->look();
              },
          .statusLineHeld = [this] { return m_notice->holdsStatusLine(); },
          .woke = [this] { m_overdue->look(); } },
        this);
    m_startWithSystem = new StartWithSystem(
        c.startWithSystemBox, c.startInTrayBox, [this] { return isLoading(); }, this);
    new HoverPointer(m_pointer, HoverTargets(this, c), this);
    m_trayBehaviour
        = new TrayWindowBehaviour(*this, *c.trayIcon, c.startInTrayBox, c.helpButton, [this] { return isUnloaded(); });
    m_history = new HistoryButtons(c.viewHistoryButton, c.copyHistoryButton, c.clearHistoryButton, this);
    m_notice = new FailureNotice(*this, *c.trayIcon);
    m_overdue = new OverdueWatch({ .listedFolders = [this] { return m_controls.folderList->entries(); },
                                   .intervalSeconds = [this] { return m_schedule->selectedIntervalSeconds(); },
                                   .timedBackupsOn = [this] { return m_controls.countdownTimer->interval() != 0; },
                                   .report = [this](const std::optional<LastBackups::Age>& oldest,
                                                    bool overdue) { m_notice->backupsAged(oldest, overdue); } },
                                 this);
    connect(m_notice, &FailureNotice::logWanted, m_history, &HistoryButtons::viewLog);
    connect(m_notice, &FailureNotice::statusLineWanted, this, &MainWindow::setStatus);
    connect(c.restoreButton, &QPushButton::clicked, this, &MainWindow::showRestoreWindow);
}

MainWindow::~MainWindow() = default;

QString MainWindow::status() const
{
    return m_controls.statusFrame->title();
}

void MainWindow::setStatus(const QString& caption)
{
    m_controls.statusFrame->setTitle(caption);
}

void MainWindow::restoreCheckBox(QCheckBox* box, const QString& stored)
{
    const QString source = Routine::WindowLoad;
    box->setCheckState(CheckStateFromValue(ToInteger16(stored, source), source));
}

void MainWindow::showRestoreWindow()
{
    if (!m_restoreWindow)
        m_restoreWindow = new RestoreWindow(*m_backupChoices, this);
    m_restoreWindow->bringForward();
}

void MainWindow::load()
{
    ErrorTrap trap(Routine::WindowLoad);
    trap.line(10, [&] { ApplySkin(*this); });
    trap.line(20, [&] { m_loading = true; });
    trap.line(30, [&] {
        setWindowTitle(DisplayName);
        setWindowIcon(QIcon(QStringLiteral(":/icons/tessaly.png")));
        SetApplicationTitle(ShortTitle(DisplayName));
    });
    trap.line(40, [&] { MaybeOpenHomePage(); });
    trap.line(50, [&] { m_pointer.loadHandCursor(); });
    trap.line(60, [&] {
        m_controls.folderList->setHeaderLabels({ QStringLiteral("Folder(s) To Zip And Backup") });
        m_controls.folderList->header()->resizeSection(0, TwipsToPixels(7000));
        const QString folders = SettingsStore::ReadSetting(SettingsKeys::Folders);
        if (!folders.isEmpty())
            m_controls.folderList->decodeFolders(folders);
        m_listRestored = true;
    });
    trap.line(70, [&] {
        m_controls.backupFolderEdit->setText(
            SettingsStore::ReadSetting(QLatin1String(SettingsKeys::BackupFolder.name), DesktopFolder()));
    });
    trap.line(80, [&] { m_schedule->fillIntervalList(); });
    trap.line(81, [&] { m_schedule->selectStoredInterval(); });
    trap.line(90, [&] { m_schedule->applyStoredSwitchState(); });
    trap.line(91, [&] { m_schedule->restoreCatchUp(); });
    trap.line(100, [&] {
        m_controls.trayIcon->setTip(DisplayName);
        setWindowIcon(QIcon(QStringLiteral(":/icons/tessaly.png")));
        m_controls.trayIcon->setIcon(windowIcon());
        m_controls.trayIcon->setInTray(true);
    });
    trap.line(110, [&] { m_startWithSystem->restoreOption(); });
    trap.line(120, [&] { m_trayBehaviour->applyStartInTray(); });
    trap.line(130, [&] { m_controls.prefixEdit->setText(SettingsStore::ReadSetting(SettingsKeys::Prefix)); });
    trap.line(140,
              [&] { restoreCheckBox(m_controls.dateStampBox, SettingsStore::ReadSetting(SettingsKeys::DateStamp)); });
    trap.line(141,
              [&] { restoreCheckBox(m_controls.timeStampBox, SettingsStore::ReadSetting(SettingsKeys::TimeStamp)); });
    trap.line(142, [&] {
        m_controls.keepLastBox->setValue(
            KeepLastFromText(SettingsStore::ReadSetting(SettingsKeys::KeepLast), m_controls.keepLastBox->maximum()));
    });
    trap.line(150, [&] { SetHistoryFile(HistoryFilePath(DisplayName)); });
    trap.line(160, [&] { m_loading = false; });
    // The first look once the desktop has settled: a balloon about overdue backups must not take
    // the place of the one that says the window went to the tray.
    trap.line(170, [&] { m_overdue->start(std::chrono::seconds(10)); });
}

void MainWindow::unload()
{
    ErrorTrap trap(Routine::WindowUnload);
    trap.line(10, [&] {
        // Closed during start-up before the list was restored, the list on screen is not the user's.
        if (!m_loading || m_listRestored)
            SettingsStore::WriteSetting(SettingsKeys::Folders, m_controls.folderList->encodeFolders());
    });
    trap.line(20, [&] { m_controls.countdownTimer->setInterval(0); });
    trap.line(30, [&] { m_controls.trayIcon->setInTray(false); });
    trap.line(40, [&] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    });
}

void MainWindow::bringForward()
{
    m_trayBehaviour->showNormalWindow();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_trayBehaviour->windowStateChanged();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        ExitDeadline::Arm();
        // A run in progress abandons the archive it is writing; the previous one stays.
        if (RunControl::IsRunning())
            RunControl::RequestCancel();
        unload();
    }
    event->accept();
    // Unloading the window ends the whole program.
    QCoreApplication::exit(0);
}
