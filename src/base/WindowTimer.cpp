#include "base/WindowTimer.h"

WindowTimer::WindowTimer(QObject* parent)
    : QObject(parent)
{
    // Findable by tests, which need to act at the moment the timer falls due.
    m_timer.setParent(this);
    // Queued, so a tick whose handling waits in a nested event loop (a backup run) does not hold
    // the timer back: the following ticks are handled inside that wait, as the countdown expects.
    connect(&m_timer, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(
            this,
            [this, run = m_run] {
                if (run == m_run)
                    Q_EMIT ticked();
            },
            Qt::QueuedConnection);
    });
}

void WindowTimer::setInterval(int milliseconds)
{
    ++m_run;
    m_interval = milliseconds > 0 ? milliseconds : 0;
    if (m_interval == 0) {
        m_timer.stop();
    } else {
        m_timer.start(m_interval);
    }
}
