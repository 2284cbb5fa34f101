#pragma once

#include <QDateTime>
#include <QString>

// Where the program reads the date and time. Tests install a clock of their own so that archive
// names and log entries can be checked against a fixed moment.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // How long the computer has slept (been suspended) since it started: it grows only while the
    // computer sleeps. The system's own reckoning unless a clock says otherwise.
    virtual qint64 sleptMilliseconds() const;

    // The installed clock's time, or the system's local time when none is installed.
    static QDateTime currentDateTime();
    // The installed clock's sleep, or the system's.
    static qint64 sleptSinceStart();
    // Does not take ownership; nullptr puts back the system clock.
    static void install(const Clock* clock);
};

// A moment as the settings store keeps it (ISO 8601, in UTC), and back; text that is no such moment
// gives an invalid one.
QString StoredMoment(const QDateTime& moment);
QDateTime MomentFromStore(const QString& text);

// A date and time as the user's regional settings write it: the short date, a blank, the long time.
QString RegionalDateTime(const QDateTime& moment);
// RegionalDateTime of the current moment.
QString CurrentDateTimeText();
