#include "zip/ZipLibrary.h"

#include "zip/ZipEngine.h"
#include "zip/ZipMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QMutex>
#include <QScopeGuard>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace {

// Engines abandoned by a quitting application that had not ended when it stopped waiting.
std::atomic<int> g_leftBehind { 0 };

// Lines the engine printed on its own threads, waiting to be handed over on the caller's thread.
class PendingLines final
{
public:
    explicit PendingLines(ZipMessage& message)
        : m_message(message)
    { }

    // Where the caller's thread is woken to take the lines, for as long as it waits.
    void setWaiter(QObject* waiter, std::function<void()> wake)
    {
        QMutexLocker lock(&m_mutex);
        m_waiter = waiter;
        m_wake = std::move(wake);
    }

    // Called on the engine's threads. The waiter is only ever woken under the lock, so it cannot
    // go away in between, also when the engine outlives the wait.
    void add(const QString& line)
    {
        QMutexLocker lock(&m_mutex);
        m_text += line;
        if (!m_wakePending && m_waiter)
            QMetaObject::invokeMethod(m_waiter, m_wake, Qt::QueuedConnection);
        m_wakePending = true;
    }

    // Hands every waiting line to the message, in order. The message lets the caller's events
    // through, and with them the next wake-up: a hand-over started inside another would put its
    // text in the middle of the other's, splitting a line, so only the outer one runs and it goes
    // on until nothing is left.
    void drain()
    {
        if (m_draining)
            return;
        m_draining = true;
        for (QString text = take(); !text.isEmpty(); text = take())
            m_message.print(text);
        m_draining = false;
    }

private:
    QString take()
    {
        QMutexLocker lock(&m_mutex);
        m_wakePending = false;
        return std::exchange(m_text, QString());
    }

    ZipMessage& m_message; // touched on the caller's thread only
    QMutex m_mutex;
    QObject* m_waiter = nullptr;
    std::function<void()> m_wake;
    QString m_text;
    bool m_wakePending = false;
    bool m_draining = false; // touched on the caller's thread only
};

// Runs the engine on another thread while this one waits in a local event loop, so the caller's
// events (clicks, timer ticks, a close request) keep flowing during the whole archive.
std::int32_t RunWhileWaiting(const ZipJob& job, ZipMessage& message)
{
    auto abandoned = std::make_shared<std::atomic<bool>>(false);
    ZipJob engineJob = job;
    engineJob.cancelled
        = [abandoned, cancelled = job.cancelled] { return abandoned->load() || (cancelled && cancelled()); };
    auto pending = std::make_shared<PendingLines>(message);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    QEventLoop loop;
    pending->setWaiter(&loop, [lines = pending.get()] { lines->drain(); });
    const auto stopWaking = qScopeGuard([pending] { pending->setWaiter(nullptr, {}); });
    auto sink = [pending](const QString& line) { pending->add(line); };
    QFutureWatcher<std::int32_t> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([engineJob, sink, finished] {
        const std::int32_t code = RunZipJob(engineJob, sink);
        // Set already: the caller stopped waiting and counted this engine as left behind.
        if (finished->exchange(true))
            --g_leftBehind;
        return code;
    }));
    if (!watcher.isFinished())
        loop.exec();
    if (!watcher.isFinished()) {
        // The application is quitting (which ends every local loop): abandon the archive, the
        // previous one stays. A cancel reaches the engine's readers within one read call; one
        // whose read does not return is left behind rather than waited for, so the program still
        // ends, and its temporary stays for the next run's sweep.
        abandoned->store(true);
        const QDeadlineTimer deadline(QuitWaitMilliseconds);
        while (!finished->load() && !deadline.hasExpired())
            QThread::msleep(5);
        ++g_leftBehind;
        if (!finished->exchange(true)) {
            pending->drain();
            message.print(QStringLiteral("cancelled: %1 was left as it was\n").arg(job.archivePath));
            return ZipCode::Cancelled;
        }
        --g_leftBehind;
        watcher.waitForFinished();
    }
    pending->drain();
    return watcher.result();
}

} // namespace

bool ZipWorkLeftBehind()
{
    return g_leftBehind.load() > 0;
}

ZipResult MakeZipArchive(const ZipJob& job)
{
    ZipMessage message(job.pumpEvents);
    ZipResult result;
    if (QCoreApplication::instance())
        result.code = RunWhileWaiting(job, message);
    else
        result.code = RunZipJob(job, [&message](const QString& line) { message.print(line); });
    result.message = message.text();
    return result;
}
