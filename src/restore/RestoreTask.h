#pragma once

#include "restore/RestorePlan.h"
#include "restore/RestoreRun.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <memory>

// One restore at a time, off the window's thread: the plan is made, the user is asked about files
// in the way that differ from the backup, the files are restored and what happened with each
// archive goes into the history log.
class RestoreTask final : public QObject
{
    Q_OBJECT
public:
    explicit RestoreTask(QObject* parent = nullptr);
    // Cancels a restore in progress and waits for it to stop.
    ~RestoreTask() override;

    bool isRunning() const { return m_running; }
    void start(RestoreRequest request);
    void cancel();
    // How much of the data to write is written, from 0 to 1000.
    int permille() const;

Q_SIGNALS:
    // The restore ended: what to tell the user, and whether anything chosen was not restored.
    void finished(const QString& report, bool trouble);

private:
    void planned();
    void restored();
    void end(const QString& report, bool trouble);
    void logOutcome(QString& report);

    bool m_running = false;
    std::unique_ptr<RestorePlan> m_plan;
    RestoreOutcome m_outcome;
    RestoreProgress m_progress;
    QFutureWatcher<void> m_planning;
    QFutureWatcher<void> m_restoring;
};
