#include "backup/Clock.h"

#include <QLocale>

namespace {
const Clock* g_clock = nullptr;
}

QDateTime Clock::currentDateTime()
{
    return g_clock ? g_clock->now() : QDateTime::currentDateTime();
}

void Clock::install(const Clock* clock)
{
    g_clock = clock;
}

QString RegionalDateTime(const QDateTime& moment)
{
    const QLocale locale = QLocale::system();
    // One format for both halves, so a time-zone name in the long time belongs to that date.
    return locale.toString(moment,
                           locale.dateFormat(QLocale::ShortFormat) + u' ' + locale.timeFormat(QLocale::LongFormat));
}

QString CurrentDateTimeText()
{
    return RegionalDateTime(Clock::currentDateTime());
}
