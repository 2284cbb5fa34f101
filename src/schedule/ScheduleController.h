#pragma once

#include <QObject>

class MainWindow;
class QTreeWidgetItem;

// The interval list, the one-second countdown, the auto-backup switch and the manual run of the
// main window. Runs never overlap: a manual click during any run does nothing, and a timed run
// that falls due during another run is skipped and the count starts again from 0.
class ScheduleController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleController)
public:
    explicit ScheduleController(MainWindow& form);

    // Gives the interval list its column and the fifteen labels.
    void fillIntervalList();
    // Selects the stored 1-based position without counting as a click.
    void selectStoredInterval();
    // "On" starts the countdown, "Off" stops it and says so; any other text changes nothing.
    void applyStoredSwitchState();

    // Seconds of the selected interval, matched by its exact label; 0 when nothing matches or
    // nothing is selected.
    int selectedIntervalSeconds() const;

    // A choice in the interval list: stores it and counts the new interval from now.
    void chooseInterval();
    // One countdown second; starts a silent run when the count reaches the interval.
    void onTick();
    // The auto-backup switch.
    void toggleAutoBackup();
    // "Zip And Backup Now (Test)": a run with boxes, then the result stays up for a pause.
    void backUpNow();

    // How long the manual run's result stays in the status line; tests shorten it.
    double resultPauseSeconds() const { return m_resultPause; }
    void setResultPauseSeconds(double seconds) { m_resultPause = seconds; }

private:
    // The row the user chose: the selected one, not merely the current one.
    QTreeWidgetItem* selectedInterval() const;
    void keepChosenRow();

    MainWindow& m_form;
    double m_resultPause = 5;
    // The row restored at start-up or last chosen by the user (0-based), or -1.
    int m_chosenRow = -1;
};
