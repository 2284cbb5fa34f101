#pragma once

#include <QCursor>
#include <QString>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class FolderListView;
class WindowTimer;
class cSysTray;
class DestinationOptions;
class FailureNotice;
class FolderButtons;
class HistoryButtons;
class ScheduleController;
class StartWithSystem;
class TrayWindowBehaviour;

// The main window. It owns every control, restores the saved state when it loads and saves the
// folder list when it closes; the subsystems' own classes hold their behaviour.
class Form1 final : public QWidget
{
    Q_OBJECT
public:
    enum class MousePointer { Default = 0, Busy = 11, Custom = 99 };

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence; runs once, before the window is first shown.
    void Form_Load();
    // The shutdown steps; run on every close request, never cancel it.
    void Form_QueryUnload();
    // The window was closed, which ends the program; also when that happened during start-up.
    bool isUnloaded() const { return m_unloaded; }
    // Shows the window in normal state, in front: another start of the program hands over to this one.
    void bringForward();

    QString status() const;
    void setStatus(const QString& caption);

    MousePointer mousePointer() const { return m_pointer; }
    void setMousePointer(MousePointer pointer);
    bool isBusy() const { return m_pointer == MousePointer::Busy; }
    bool hasCustomPointer() const { return m_hasCustomPointer; }

    // What tells the user about failed timed runs.
    FailureNotice& notice() const { return *m_notice; }

    // Window-level state shared with the subsystems.
    bool IsLoading = false;
    int IntervalSeconds = 0;
    qint32 ElapsedSeconds = 0;
    QString SavedStatus;

    // Controls, named as users and tests know them.
    QGroupBox* Frame1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    FolderListView* ListView1 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check8 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    // "Keep only the last [N] backups of each folder"; 0 keeps all.
    QSpinBox* KeepLastBox = nullptr;
    QTreeWidget* ListView2 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* Text5 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton12 = nullptr;
    QPlainTextEdit* RichTextBox1 = nullptr;
    WindowTimer* Timer1 = nullptr;
    cSysTray* cSysTray1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createControls();
    void loadHandPointer();
    void restoreCheckBox(QCheckBox* box, const QString& stored);

    MousePointer m_pointer = MousePointer::Default;
    QCursor m_handCursor;
    bool m_hasCustomPointer = false;
    bool m_unloaded = false;
    bool m_listRestored = false;
    DestinationOptions* m_destination = nullptr;
    FolderButtons* m_folderButtons = nullptr;
    ScheduleController* m_schedule = nullptr;
    StartWithSystem* m_startWithSystem = nullptr;
    TrayWindowBehaviour* m_trayBehaviour = nullptr;
    HistoryButtons* m_history = nullptr;
    FailureNotice* m_notice = nullptr;
};
