#include "zip/ZipLibrary.h"

#include "zip/ZipEngine.h"
#include "zip/ZipMessage.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QMutex>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <memory>
#include <utility>

namespace {

// Lines the engine printed on its own threads, waiting to be handed over on the caller's thread.
class PendingLines final
{
public:
    explicit PendingLines(ZipMessage& message)
        : m_message(message)
    { }

    // Returns true when the caller's thread has to be woken for this line.
    bool add(const QString& line)
    {
        QMutexLocker lock(&m_mutex);
        m_text += line;
        const bool wake = !m_wakePending;
        m_wakePending = true;
        return wake;
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
    QEventLoop loop;
    QPointer<QEventLoop> context(&loop);
    auto drain = [pending] { pending->drain(); };
    auto sink = [pending, context, drain](const QString& line) {
        if (pending->add(line) && context)
            QMetaObject::invokeMethod(context.data(), drain, Qt::QueuedConnection);
    };
    QFutureWatcher<std::int32_t> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([engineJob, sink] { return RunZipJob(engineJob, sink); }));
    if (!watcher.isFinished())
        loop.exec();
    if (!watcher.isFinished()) {
        // The application is quitting (which ends every local loop): abandon the archive, the
        // previous one stays, and wait for the engine to let go of its files.
        abandoned->store(true);
        watcher.waitForFinished();
    }
    drain();
    return watcher.result();
}

} // namespace

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
