#include "app/WindowTimer.h"

WindowTimer::WindowTimer(QObject* parent)
    : QObject(parent)
{
    // Queued, so a tick whose handling waits in a nested event loop (a backup run) does not hold
    // the timer back: the following ticks are handled inside that wait, as the countdown expects.
    connect(&m_timer, &QTimer::timeout, this, &WindowTimer::Timer, Qt::QueuedConnection);
}

void WindowTimer::setInterval(int milliseconds)
{
    m_interval = milliseconds > 0 ? milliseconds : 0;
    if (m_interval == 0) {
        m_timer.stop();
    } else {
        m_timer.start(m_interval);
    }
}
