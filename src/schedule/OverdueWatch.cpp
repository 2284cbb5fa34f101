#include "schedule/OverdueWatch.h"

#include "backup/Clock.h"

OverdueWatch::OverdueWatch(Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_hooks(std::move(hooks))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_timer.start(std::chrono::minutes(1));
        look();
    });
}

void OverdueWatch::start(std::chrono::milliseconds firstLook)
{
    m_timer.start(firstLook);
}

void OverdueWatch::look()
{
    const QDateTime now = Clock::currentDateTime();
    const std::optional<LastBackups::Age> oldest = LastBackups::Oldest(m_hooks.listedFolders(), now);
    const qint64 interval = m_hooks.intervalSeconds();
    const bool overdue = oldest && m_hooks.timedBackupsOn() && interval > 0 && oldest->since.secsTo(now) > 2 * interval;
    m_hooks.report(oldest, overdue);
}
