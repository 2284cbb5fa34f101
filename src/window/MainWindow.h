#pragma once

#include "base/WindowPointer.h"

#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class FolderListView;
class WindowTimer;
class TrayIcon;
class DestinationOptions;
class FailureNotice;
class FolderButtons;
class HistoryButtons;
class OverdueWatch;
class RestoreWindow;
class ScheduleController;
class ControlsBackupChoices;
class StatusFrameLine;
class StartWithSystem;
class TrayWindowBehaviour;

// Every control of the main window; the layout creates them, the window wires them to the classes
// that hold their behaviour.
struct MainWindowControls
{
    QGroupBox* statusFrame = nullptr;
    QProgressBar* progressBar = nullptr;
    FolderListView* folderList = nullptr;
    QPushButton* addFolderButton = nullptr;
    QPushButton* clearListButton = nullptr;
    QPushButton* loadSamplesButton = nullptr;
    QGroupBox* optionsFrame = nullptr;
    QCheckBox* startWithSystemBox = nullptr;
    QCheckBox* startInTrayBox = nullptr;
    // "Catch up on missed backups"
    QCheckBox* catchUpBox = nullptr;
    // Opens the restore window; it sits under the catch-up box.
    QPushButton* restoreButton = nullptr;
    QGroupBox* fileNameFrame = nullptr;
    QLineEdit* prefixEdit = nullptr;
    QCheckBox* dateStampBox = nullptr;
    QCheckBox* timeStampBox = nullptr;
    // "Keep only the last [N] backups of each folder"; 0 keeps all.
    QSpinBox* keepLastBox = nullptr;
    QTreeWidget* intervalList = nullptr;
    QGroupBox* backupFolderFrame = nullptr;
    QLineEdit* backupFolderEdit = nullptr;
    QPushButton* chooseBackupFolderButton = nullptr;
    QPushButton* viewBackupFolderButton = nullptr;
    QPushButton* autoBackupButton = nullptr;
    QPushButton* backupNowButton = nullptr;
    QPushButton* viewHistoryButton = nullptr;
    QPushButton* copyHistoryButton = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* clearHistoryButton = nullptr;
    WindowTimer* countdownTimer = nullptr;
    TrayIcon* trayIcon = nullptr;
};

// The main window. It owns every control, restores the saved state when it loads and saves the
// folder list when it closes; the subsystems' own classes hold their behaviour.
class MainWindow final : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence; runs once, before the window is first shown.
    void load();
    // The shutdown steps; run on every close request, never cancel it.
    void unload();
    // The window was closed, which ends the program; also when that happened during start-up.
    bool isUnloaded() const { return m_unloaded; }
    // Shows the window in normal state, in front: another start of the program hands over to this one.
    void bringForward();

    QString status() const;
    void setStatus(const QString& caption);

    MousePointer mousePointer() const { return m_pointer.current(); }
    void setMousePointer(MousePointer pointer) { m_pointer.set(pointer); }
    bool isBusy() const { return m_pointer.isBusy(); }
    bool hasCustomPointer() const { return m_pointer.hasCustomHand(); }

    // Start-up is still going: what it restores must not count as the user's doing.
    bool isLoading() const { return m_loading; }

    // The window's controls, for the code that wires them and for tests.
    const MainWindowControls& controls() const { return m_controls; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void restoreCheckBox(QCheckBox* box, const QString& stored);
    void showRestoreWindow();

    MainWindowControls m_controls;
    WindowPointer m_pointer { *this };
    bool m_unloaded = false;
    bool m_loading = false;
    bool m_listRestored = false;
    DestinationOptions* m_destination = nullptr;
    FolderButtons* m_folderButtons = nullptr;
    std::unique_ptr<StatusFrameLine> m_statusLine;
    std::unique_ptr<ControlsBackupChoices> m_backupChoices;
    ScheduleController* m_schedule = nullptr;
    StartWithSystem* m_startWithSystem = nullptr;
    TrayWindowBehaviour* m_trayBehaviour = nullptr;
    HistoryButtons* m_history = nullptr;
    FailureNotice* m_notice = nullptr;
    OverdueWatch* m_overdue = nullptr;
    RestoreWindow* m_restoreWindow = nullptr; // made when first asked for
};
