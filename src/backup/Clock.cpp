#include "backup/Clock.h"

#include <QLocale>
#include <QRegularExpression>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <ctime>
#endif

namespace {

const Clock* g_clock = nullptr;

qint64 systemSleptMilliseconds()
{
#if defined(Q_OS_LINUX)
    // The boot-time clock goes on while the computer sleeps; the monotonic one stands still.
    timespec boot {};
    timespec awake {};
    ::clock_gettime(CLOCK_BOOTTIME, &boot);
    ::clock_gettime(CLOCK_MONOTONIC, &awake);
    return (boot.tv_sec - awake.tv_sec) * 1000 + (boot.tv_nsec - awake.tv_nsec) / 1'000'000;
#elif defined(Q_OS_WIN)
    // Interrupt time in 100 ns units, without the time asleep.
    ULONGLONG awake = 0;
    ::QueryUnbiasedInterruptTime(&awake);
    return static_cast<qint64>(::GetTickCount64()) - static_cast<qint64>(awake / 10'000);
#else
    return 0;
#endif
}

} // namespace

QDateTime Clock::currentDateTime()
{
    return g_clock ? g_clock->now() : QDateTime::currentDateTime();
}

qint64 Clock::sleptMilliseconds() const
{
    return systemSleptMilliseconds();
}

qint64 Clock::sleptSinceStart()
{
    return g_clock ? g_clock->sleptMilliseconds() : systemSleptMilliseconds();
}

void Clock::install(const Clock* clock)
{
    g_clock = clock;
}

QString StoredMoment(const QDateTime& moment)
{
    return moment.toUTC().toString(Qt::ISODate);
}

QDateTime MomentFromStore(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODate);
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
