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

    // The installed clock's time, or the system's local time when none is installed.
    static QDateTime currentDateTime();
    // Does not take ownership; nullptr puts back the system clock.
    static void install(const Clock* clock);
};

// A date and time as the user's regional settings write it: the short date, a blank, the long time.
QString RegionalDateTime(const QDateTime& moment);
// RegionalDateTime of the current moment.
QString CurrentDateTimeText();
