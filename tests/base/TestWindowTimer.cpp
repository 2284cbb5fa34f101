#include "base/WindowTimer.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>

class TestWindowTimer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void intervalZeroMeansStopped()
    {
        WindowTimer timer;
        int ticks = 0;
        connect(&timer, &WindowTimer::ticked, this, [&] { ++ticks; });
        timer.setInterval(10);
        QCOMPARE(timer.interval(), 10);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 10000);
        timer.setInterval(0);
        QCOMPARE(timer.interval(), 0);
        const int stoppedAt = ticks;
        QTest::qWait(100);
        QVERIFY(ticks <= stoppedAt + 1); // at most one tick already queued
    }

    // A handler that waits in a nested event loop (as a backup run does) still sees the ticks
    // that fall due meanwhile.
    void ticksArriveWhileAHandlerWaits()
    {
        WindowTimer timer;
        int ticks = 0;
        int nested = 0;
        int depth = 0;
        connect(&timer, &WindowTimer::ticked, this, [&] {
            ++ticks;
            if (depth > 0) {
                ++nested;
                return;
            }
            ++depth;
            QEventLoop wait;
            QTimer::singleShot(400, &wait, &QEventLoop::quit);
            wait.exec();
            --depth;
        });
        // The program's own event loop, as in the running program.
        QEventLoop outer;
        connect(&timer, &WindowTimer::ticked, &outer, [&] {
            if (nested >= 3)
                outer.quit();
        });
        QTimer::singleShot(20000, &outer, &QEventLoop::quit);
        timer.setInterval(20);
        outer.exec();
        timer.setInterval(0);
        QVERIFY(nested >= 3);
    }
};

QTEST_GUILESS_MAIN(TestWindowTimer)
#include "TestWindowTimer.moc"
