#pragma once

#include <QObject>

class Form1;

// The interval list and the auto-backup switch of the main window.
class ScheduleController final : public QObject
{
    Q_OBJECT
public:
    explicit ScheduleController(Form1& form);

    // Gives the interval list its column and the fifteen labels.
    void fillIntervalList();
    // Selects the stored 1-based position without counting as a click.
    void selectStoredInterval();
    // "On" starts the countdown, "Off" stops it and says so; any other text changes nothing.
    void applyStoredSwitchState();

private:
    Form1& m_form;
};
