#include "backup/Clock.h"

#include <QLocale>
#include <QRegularExpression>

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
    // The long time without its time-zone name, as a date and time of day is written in the log.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b"));
    const QString longTime = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    // One format for both halves, so the date and the time belong to the same moment.
    return locale.toString(moment, locale.dateFormat(QLocale::ShortFormat) + u' ' + longTime);
}

QString CurrentDateTimeText()
{
    return RegionalDateTime(Clock::currentDateTime());
}
