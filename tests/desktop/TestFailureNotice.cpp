#include "FakeTrayBackend.h"
#include "app/WindowTimer.h"
#include "backup/HistoryFile.h"
#include "desktop/cSysTray.h"
#include "folders/FolderListView.h"
#include "schedule/ScheduleController.h"
#include "support/WindowTest.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
FakeTrayBackend& fakeOf(const Form1& form)
{
    return static_cast<FakeTrayBackend&>(form.cSysTray1->backend());
}
} // namespace

// What a failed timed run tells the user, on the real window with a fake notification area.
class TestFailureNotice : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_files;

    // A window listing one folder that exists and one that does not, its timer quiet.
    std::unique_ptr<Form1> start(FakeTrayBackend::Options options)
    {
        FakeTrayFactory factory(options);
        auto form = load();
        form->Timer1->blockSignals(true);
        form->findChild<ScheduleController*>()->setResultPauseSeconds(0);
        QDir().mkpath(m_files.path() + QStringLiteral("/Docs"));
        QFile(m_files.path() + QStringLiteral("/Docs/a.txt")).open(QIODevice::WriteOnly);
        form->Text5->setText(m_files.path());
        form->ListView1->AppendEntry(m_files.path() + QStringLiteral("/Docs"));
        form->ListView1->AppendEntry(m_files.path() + QStringLiteral("/Missing"));
        return form;
    }

    // The countdown's last second: a timed run.
    static void timedRun(Form1& form)
    {
        form.ElapsedSeconds = 899;
        form.findChild<ScheduleController*>()->Timer1_Timer();
    }

    static QImage iconShown(const Form1& form) { return fakeOf(form).iconShown.pixmap(22).toImage(); }

private Q_SLOTS:
    void init() { beginTest(); }
    void cleanup() { endTest(); }

    void failedTimedRunIsToldUntilTheWindowIsShown()
    {
        auto form = start({});
        FakeTrayBackend& tray = fakeOf(*form);
        const QImage ordinary = iconShown(*form);
        timedRun(*form);
        QCOMPARE(tray.count("showMessage"), 1);
        QCOMPARE(tray.balloonTitle, QStringLiteral("Tessaly"));
        QCOMPARE(tray.balloonText,
                 QStringLiteral("1 of 2 folders was not backed up: \"Missing\".\r\n"
                                "The history log has the details: click here to open it."));
        QVERIFY(iconShown(*form) != ordinary);
        QVERIFY(tray.tipShown.startsWith(QStringLiteral("Tessaly: the last backup failed at ")));
        Q_EMIT tray.messageClicked();
        QCOMPARE(m_launcher->paths, QStringList { HistoryFile() });

        // A manual run has its own boxes; only the window's showing takes the mark away.
        form->PushButton6->click();
        QCOMPARE(tray.count("showMessage"), 1);
        QVERIFY(iconShown(*form) != ordinary);
        form->show();
        QCOMPARE(iconShown(*form), ordinary);
        QCOMPARE(tray.tipShown, QStringLiteral("Tessaly"));

        // Marked again, then a run without failures: no balloon, the ordinary icon back.
        form->hide();
        timedRun(*form);
        QVERIFY(iconShown(*form) != ordinary);
        form->ListView1->clear();
        form->ListView1->AppendEntry(m_files.path() + QStringLiteral("/Docs"));
        timedRun(*form);
        QCOMPARE(tray.count("showMessage"), 2);
        QCOMPARE(iconShown(*form), ordinary);
        QCOMPARE(tray.tipShown, QStringLiteral("Tessaly"));
    }

    void withoutATrayTheStatusLineCarriesIt()
    {
        auto form = start({ .available = false });
        timedRun(*form);
        const QString notice
            = QStringLiteral("1 of 2 folders was not backed up: \"Missing\". The history log has the details.");
        QCOMPARE(form->status(), notice);
        // The countdown goes on without taking the notice away.
        form->findChild<ScheduleController*>()->Timer1_Timer();
        QCOMPARE(form->status(), notice);
        QCOMPARE(fakeOf(*form).count("showMessage"), 0);
    }
};

QTEST_MAIN(TestFailureNotice)
#include "TestFailureNotice.moc"
