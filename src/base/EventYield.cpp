#include "base/EventYield.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void YieldToEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

void PauseSeconds(double seconds)
{
    if (seconds <= 0 || !QCoreApplication::instance())
        return;
    // A monotonic timer, so a pause across midnight or a clock change runs its full length.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
