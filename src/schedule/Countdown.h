#pragma once

#include "backup/RunOutcome.h"

#include <QString>
#include <functional>

class StatusLine;

// The seconds counted towards the next timed run. Each tick shows the time left in the status line
// and, when the count reaches the interval, runs a silent backup and starts again from 0.
class Countdown final
{
    Q_DISABLE_COPY_MOVE(Countdown)
public:
    // What the countdown reads and drives around it.
    struct Hooks
    {
        // Start-up has not ended: ticks that its boxes let through count for nothing.
        std::function<bool()> starting;
        // The one-second timer was stopped: a tick queued before that only says so.
        std::function<bool()> stopped;
        // Seconds of the chosen interval, read afresh on every tick.
        std::function<int()> chosenSeconds;
        std::function<void(int seconds)> setProgressMaximum;
        std::function<void(int seconds)> setProgressValue;
        // Another message holds the status line; the count goes on without showing.
        std::function<bool()> statusLineHeld;
        std::function<RunOutcome()> runBackup;
        std::function<void(const RunOutcome&)> runEnded;
        // The count went back to 0 after a timed run fell due.
        std::function<void()> restarted;
    };

    Countdown(StatusLine& status, Hooks hooks);

    int intervalSeconds() const { return m_intervalSeconds; }
    int elapsedSeconds() const { return m_elapsedSeconds; }
    // The status line as it was before the last timed run; shown again once that run ends.
    QString savedStatus() const { return m_savedStatus; }

    void setIntervalSeconds(int seconds) { m_intervalSeconds = seconds; }
    void restart() { m_elapsedSeconds = 0; }
    // Goes on from a count of its own (catching up on missed backups).
    void setElapsedSeconds(int seconds) { m_elapsedSeconds = seconds; }
    // One second.
    void tick();

private:
    StatusLine& m_status;
    Hooks m_hooks;
    int m_intervalSeconds = 0;
    qint32 m_elapsedSeconds = 0;
    QString m_savedStatus;
};
