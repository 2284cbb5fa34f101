#pragma once

#include "backup/LastBackups.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

// Looks, once a minute and when asked, whether backups have stopped happening: finds the listed
// folder that has waited longest for a complete backup, which is overdue when that is more than
// twice the chosen interval by the wall clock while timed backups are on.
class OverdueWatch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OverdueWatch)
public:
    struct Hooks
    {
        std::function<QStringList()> listedFolders;
        std::function<int()> intervalSeconds;
        std::function<bool()> timedBackupsOn;
        std::function<void(const std::optional<LastBackups::Age>& oldest, bool overdue)> report;
    };

    OverdueWatch(Hooks hooks, QObject* parent);

    // Looks after `firstLook`, and from then on once a minute.
    void start(std::chrono::milliseconds firstLook);
    void look();

private:
    Hooks m_hooks;
    QTimer m_timer;
};
