#include "backup/RunControl.h"
#include "base/AppError.h"
#include "base/StatusLine.h"
#include "schedule/Countdown.h"
#include "support/TestPrompter.h"

#include <QTest>

namespace {
class TextStatusLine final : public StatusLine
{
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    QString m_text;
};
} // namespace

// The countdown on its own, with a run that fails in a way the window cannot bring about.
class TestCountdown : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A run that raises still ends its cycle: the error box names the step, the run lock is
    // released, the status line comes back, the notice hears of it and the count starts again.
    void aRunThatRaisesStillEndsItsCycle()
    {
        TestPrompter prompter;
        TextStatusLine status;
        int runsEnded = 0;
        Countdown countdown(status,
                            { .starting = [] { return false; },
                              .stopped = [] { return false; },
                              .chosenSeconds = [] { return 2; },
                              .setProgressMaximum = [](int) {},
                              .setProgressValue = [](int) {},
                              .statusLineHeld = [] { return false; },
                              .runBackup = []() -> RunOutcome { throw AppError::overflow(QStringLiteral("run")); },
                              .runEnded = [&](const RunOutcome&) { ++runsEnded; },
                              .restarted = [] {} });
        countdown.tick();
        countdown.tick();
        QCOMPARE(prompter.shown().size(), 1);
        QVERIFY2(prompter.texts().first().contains(QStringLiteral(".Form1.Timer1_Timer at line 110")),
                 qPrintable(prompter.texts().first()));
        QVERIFY(!RunControl::IsRunning());
        QCOMPARE(status.text(), QStringLiteral("Next Zip and backup will occur in 00:00:00"));
        QCOMPARE(runsEnded, 1);
        QCOMPARE(countdown.elapsedSeconds(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCountdown)
#include "TestCountdown.moc"
