#pragma once

#include "backup/RunOutcome.h"
#include "schedule/Countdown.h"

#include <QObject>
#include <functional>

class BackupChoices;
class QCheckBox;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class StatusLine;
class WindowTimer;

// The controls the schedule drives.
struct ScheduleControls
{
    QTreeWidget* intervalList = nullptr;
    QPushButton* autoBackupButton = nullptr;
    QPushButton* backupNowButton = nullptr;
    WindowTimer* countdownTimer = nullptr;
    QProgressBar* progressBar = nullptr;
    // "Catch up on missed backups"
    QCheckBox* catchUpBox = nullptr;
};

// The interval list, the one-second countdown, the auto-backup switch and the manual run. Runs
// never overlap: a manual click during any run does nothing, and a timed run that falls due during
// another run is skipped and the count starts again from 0.
class ScheduleController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleController)
public:
    // What the schedule asks of the window around it.
    struct Hooks
    {
        // Start-up has not ended: neither ticks nor list selections count yet.
        std::function<bool()> starting;
        std::function<void(bool busy)> setBusy;
        // Tells the user about a run that ended; `timed` for the countdown's runs.
        std::function<void(const RunOutcome& outcome, bool timed)> runEnded;
        // Another message holds the status line; the countdown does not replace it.
        std::function<bool()> statusLineHeld;
        // The computer woke from sleep (seen at the first tick after).
        std::function<void()> woke;
    };

    ScheduleController(const ScheduleControls& controls, StatusLine& status, const BackupChoices& choices, Hooks hooks,
                       QObject* parent);

    // Gives the interval list its column and the fifteen labels.
    void fillIntervalList();
    // Selects the stored 1-based position without counting as a click.
    void selectStoredInterval();
    // "On" starts the countdown, "Off" stops it and says so; any other text changes nothing.
    void applyStoredSwitchState();
    // Checks "Catch up on missed backups" from the store; when checked, the countdown goes on from
    // the wall-clock time since it last started from 0.
    void restoreCatchUp();

    // Seconds of the selected interval, matched by its exact label; 0 when nothing matches or
    // nothing is selected.
    int selectedIntervalSeconds() const;

    // A choice in the interval list: stores it and counts the new interval from now.
    void chooseInterval();
    // The auto-backup switch.
    void toggleAutoBackup();
    // "Zip And Backup Now (Test)": a run with boxes, then the result stays up for a pause.
    void backUpNow();

    // The count towards the next timed run; the one-second timer ticks it.
    Countdown& countdown() { return m_countdown; }
    // One second of the timer: a wake from sleep first, then the countdown's tick.
    void tick();

    // How long the manual run's result stays in the status line; tests shorten it.
    double resultPauseSeconds() const { return m_resultPause; }
    void setResultPauseSeconds(double seconds) { m_resultPause = seconds; }

private:
    // With "Catch up on missed backups" checked, the count goes on by the wall clock.
    void catchUp();
    void storeCatchUp(bool on);

    // The row the user chose: the selected one, not merely the current one.
    QTreeWidgetItem* selectedInterval() const;
    void keepChosenRow();

    ScheduleControls m_controls;
    StatusLine& m_status;
    const BackupChoices& m_choices;
    Hooks m_hooks;
    Countdown m_countdown;
    double m_resultPause = 5;
    // The row restored at start-up or last chosen by the user (0-based), or -1.
    int m_chosenRow = -1;
    // How long the computer had slept at the last tick.
    qint64 m_slept = 0;
};
