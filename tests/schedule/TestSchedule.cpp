#include "backup/Clock.h"
#include "backup/RunControl.h"
#include "backup/TestClock.h"
#include "base/Prompter.h"
#include "base/SettingsStore.h"
#include "base/WindowTimer.h"
#include "desktop/FakeTrayBackend.h"
#include "desktop/TrayIcon.h"
#include "folders/FolderListView.h"
#include "history/HistoryFile.h"
#include "schedule/OverdueWatch.h"
#include "schedule/ScheduleController.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <optional>

using SettingsStore::ReadSetting;
using SettingsStore::WriteSetting;

namespace {
const QString Next = QStringLiteral("Next Zip and backup will occur in ");
const QString Running = QStringLiteral("Zip and backup is running in background...");
} // namespace

// A message box that lets window events through for a while, as a real one does.
class SlowBox final : public Prompter
{
public:
    SlowBox() { Prompter::install(this); }
    ~SlowBox() override { Prompter::install(nullptr); }
    Answer show(const QString&, const QString&, Buttons, Icon) override
    {
        QTest::qWait(2500);
        return Answer::Ok;
    }
};

// The countdown, the switch and the manual run on the real window. Ticks are delivered by calling
// the tick handler, one by one; the window's own one-second timer is kept quiet.
class TestSchedule : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_files;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<MainWindow> m_window;
    std::optional<QSignalBlocker> m_quietTimer;
    const QDateTime m_moment { QDate(2021, 8, 31), QTime(14, 5) };

    QString backups() const { return m_files.path() + QStringLiteral("/Backups"); }

    // A folder with a file in it and `subFolders` sub-folders, each with a file.
    QString makeFolder(const QString& name, int subFolders = 0)
    {
        const QString path = m_files.path() + QStringLiteral("/Src/") + name;
        QDir().mkpath(path);
        for (int i = 0; i <= subFolders; ++i) {
            const QString folder = i == 0 ? path : path + QStringLiteral("/sub%1").arg(i, 3, 10, QLatin1Char('0'));
            QDir().mkpath(folder);
            QFile file(folder + QStringLiteral("/file.txt"));
            if (file.open(QIODevice::WriteOnly))
                file.write("contents of " + folder.toUtf8());
        }
        return path;
    }

    void start()
    {
        m_quietTimer.reset();
        m_window = std::make_unique<MainWindow>();
        m_window->load();
        m_quietTimer.emplace(m_window->controls().countdownTimer);
        QVERIFY(m_window->findChild<ScheduleController*>());
        schedule().setResultPauseSeconds(0.2);
    }

    // A window listing a folder that exists and one that does not, its notification area faked.
    void startFailing(FakeTrayBackend::Options tray)
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("1"));
        {
            FakeTrayFactory factory(tray);
            start();
        }
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Docs")));
        m_window->controls().folderList->appendEntry(m_files.path() + QStringLiteral("/Missing"));
    }
    FakeTrayBackend& tray() const { return static_cast<FakeTrayBackend&>(m_window->controls().trayIcon->backend()); }
    QImage trayIcon() const { return tray().iconShown.pixmap(22).toImage(); }
    // The countdown's seconds up to its run.
    void timedRun() { ticks(schedule().selectedIntervalSeconds() - countdown().elapsedSeconds()); }

    // The current window's: a test may build another window halfway.
    ScheduleController& schedule() const { return *m_window->findChild<ScheduleController*>(); }
    Countdown& countdown() const { return schedule().countdown(); }
    OverdueWatch& overdue() const { return *m_window->findChild<OverdueWatch*>(); }
    void tick() { countdown().tick(); }
    void ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            tick();
    }

    void clickRow(int row)
    {
        QTreeWidget* list = m_window->controls().intervalList;
        QTreeWidgetItem* item = list->topLevelItem(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }

private Q_SLOTS:
    void init()
    {
        beginTest();
        QFile::remove(m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        QDir(backups()).removeRecursively();
        QDir().mkpath(backups());
        WriteSetting(SettingsKeys::BackupFolder, backups());
        WriteSetting(SettingsKeys::DateStamp, QStringLiteral("0"));
        WriteSetting(SettingsKeys::TimeStamp, QStringLiteral("0"));
        m_clock = std::make_unique<TestClock>(m_moment);
    }

    void cleanup()
    {
        m_quietTimer.reset();
        m_window.reset();
        m_clock.reset();
        endTest();
        QVERIFY(!RunControl::IsRunning());
    }

    void fiveSecondTimeline()
    {
        start();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Docs")));
        ticks(3);
        clickRow(0);
        QCOMPARE(ReadSetting(SettingsKeys::Interval), QStringLiteral("1"));
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QCOMPARE(countdown().intervalSeconds(), 5);

        for (int second = 1; second <= 4; ++second) {
            tick();
            QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:0%1").arg(5 - second));
            QCOMPARE(m_window->controls().progressBar->maximum(), 5);
            QCOMPARE(m_window->controls().progressBar->value(), second);
        }
        QVERIFY(logLines().isEmpty());

        QStringList seen;
        whileRunning(
            [&] {
                if (seen.isEmpty() || seen.last() != m_window->status())
                    seen.append(m_window->status());
                return true;
            },
            [&] { tick(); });
        QVERIFY2(seen.contains(Running), qPrintable(seen.join(u'|')));
        QVERIFY2(seen.contains(QStringLiteral("Auto Zip And Backup Complete at ") + RegionalDateTime(m_moment)),
                 qPrintable(seen.join(u'|')));
        QCOMPARE(logLines().size(), 1);
        QVERIFY2(logLines().first().startsWith(QStringLiteral("Docs was")), qPrintable(logLines().first()));
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:00"));
        QCOMPARE(countdown().savedStatus(), Next + QStringLiteral("00:00:00"));
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QCOMPARE(m_window->controls().progressBar->value(), 5);
        QVERIFY(m_prompter->shown().isEmpty());

        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:04"));
        QCOMPARE(m_window->controls().progressBar->value(), 1);
        ticks(4);
        QCOMPARE(logLines().size(), 2);
    }

    void firstTicksFollowTheChosenInterval()
    {
        start();
        QCOMPARE(m_window->controls().intervalList->currentItem()->text(0), QStringLiteral("Backup every 15 minutes"));
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:14:59"));
        QCOMPARE(countdown().intervalSeconds(), 900);

        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        clickRow(14);
        QCOMPARE(ReadSetting(SettingsKeys::Interval), QStringLiteral("15"));
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("23:59:59"));
        QCOMPARE(m_window->controls().progressBar->maximum(), 86400);

        // A shorter interval than the time already counted still counts in full.
        ticks(100);
        clickRow(1);
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:09"));

        // Choosing the entry already chosen restarts the count and stores it again.
        ticks(5);
        WriteSetting(SettingsKeys::Interval, QStringLiteral("9"));
        clickRow(1);
        QCOMPARE(ReadSetting(SettingsKeys::Interval), QStringLiteral("2"));
        QCOMPARE(countdown().elapsedSeconds(), 0);

        // So does a choice made with the keyboard.
        ticks(3);
        m_window->controls().intervalList->setFocus();
        QTest::keyClick(m_window->controls().intervalList, Qt::Key_Down);
        QCOMPARE(m_window->controls().intervalList->currentItem()->text(0), QStringLiteral("Backup every 30 seconds"));
        QCOMPARE(ReadSetting(SettingsKeys::Interval), QStringLiteral("3"));
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QVERIFY(logLines().isEmpty());
    }

    void failedTimedRunIsToldUntilTheWindowIsShown()
    {
        startFailing({});
        const QImage ordinary = trayIcon();
        timedRun();
        QCOMPARE(tray().count("showMessage"), 1);
        QCOMPARE(tray().balloonTitle, QStringLiteral("Tessaly"));
        QCOMPARE(tray().balloonText,
                 QStringLiteral("1 of 2 folders was not backed up: \"Missing\".\r\n"
                                "The history log has the details: click here to open it."));
        QVERIFY(trayIcon() != ordinary);
        QVERIFY(tray().tipShown.startsWith(QStringLiteral("Tessaly: the last backup failed at ")));
        Q_EMIT tray().messageClicked();
        QCOMPARE(m_launcher->paths, QStringList { HistoryFile() });

        // A manual run has its own boxes; the window's showing takes the mark away.
        schedule().backUpNow();
        QCOMPARE(tray().count("showMessage"), 1);
        QVERIFY(trayIcon() != ordinary);
        m_window->show();
        QCOMPARE(trayIcon(), ordinary);
        QCOMPARE(tray().tipShown, QStringLiteral("Tessaly\nNot backed up yet: Missing"));

        // So does a run without failures, with no balloon.
        timedRun();
        QVERIFY(trayIcon() != ordinary);
        delete m_window->controls().folderList->takeTopLevelItem(1);
        timedRun();
        QCOMPARE(tray().count("showMessage"), 2);
        QCOMPARE(trayIcon(), ordinary);
        QCOMPARE(tray().tipShown,
                 QStringLiteral("Tessaly\nOldest backup: ") + RegionalDateTime(m_moment) + QStringLiteral(" (Docs)"));
    }

    void failedTimedRunWithoutATrayIsToldInTheStatusLine()
    {
        startFailing({ .available = false });
        timedRun();
        const QString notice
            = QStringLiteral("1 of 2 folders was not backed up: \"Missing\". The history log has the details.");
        QCOMPARE(m_window->status(), notice);
        // The countdown goes on without taking it away.
        tick();
        QCOMPARE(m_window->status(), notice);
        QCOMPARE(tray().count("showMessage"), 0);
    }

    // Backups that stopped happening are seen by the wall clock, across a restart: the tip gives the
    // oldest, the icon is marked while one is overdue, and a balloon says so at most once a day.
    void overdueBackupsAreTold()
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("10"));
        const QString docs = makeFolder(QStringLiteral("Docs"));
        const auto restart = [&](FakeTrayBackend::Options options) {
            {
                FakeTrayFactory factory(options);
                start();
            }
            m_window->controls().folderList->appendEntry(docs);
        };
        restart({});
        const QImage ordinary = trayIcon();
        schedule().backUpNow();
        const QString since = RegionalDateTime(m_moment);
        QCOMPARE(tray().tipShown, QStringLiteral("Tessaly\nOldest backup: ") + since + QStringLiteral(" (Docs)"));

        // Hourly backups, none for two hours and a minute.
        m_clock->set(m_moment.addSecs(2 * 3600 + 60));
        overdue().look();
        QVERIFY(trayIcon() != ordinary);
        QCOMPARE(tray().balloonText,
                 QStringLiteral("No complete backup of \"Docs\" since ") + since
                     + QStringLiteral(".\r\nThe history log has the details: click here to open it."));
        overdue().look();
        QCOMPARE(tray().count("showMessage"), 1);

        // Restarted the same day: marked, no balloon; the next day: a balloon again.
        m_clock->set(m_moment.addSecs(20 * 3600));
        restart({});
        overdue().look();
        QVERIFY(trayIcon() != ordinary);
        QCOMPARE(tray().count("showMessage"), 0);
        m_clock->set(m_moment.addSecs(27 * 3600));
        overdue().look();
        QCOMPARE(tray().count("showMessage"), 1);

        // Not while timed backups are off; gone once a backup is complete.
        QTest::mouseClick(m_window->controls().autoBackupButton, Qt::LeftButton);
        overdue().look();
        QCOMPARE(trayIcon(), ordinary);
        QTest::mouseClick(m_window->controls().autoBackupButton, Qt::LeftButton);
        overdue().look();
        QVERIFY(trayIcon() != ordinary);
        schedule().backUpNow();
        QCOMPARE(trayIcon(), ordinary);

        // Without a notification area the status line says it.
        m_clock->set(m_moment.addSecs(60 * 3600));
        restart({ .available = false });
        overdue().look();
        QVERIFY2(m_window->status().startsWith(QStringLiteral("No complete backup of \"Docs\" since ")),
                 qPrintable(m_window->status()));
    }

    // Catching up: at start-up and after sleep the countdown goes on by the wall clock from the end of
    // the last timed run; a run that fell due meanwhile comes within half a minute.
    void catchingUpCountsByTheWallClock()
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("1"));
        start();
        const QString docs = makeFolder(QStringLiteral("Docs"));
        m_window->controls().folderList->appendEntry(docs);
        timedRun();
        QCOMPARE(ReadSetting(SettingsKeys::CountdownStarted), m_moment.toUTC().toString(Qt::ISODate));

        // Off, as it starts: ten hours later the full interval counts.
        WriteSetting(SettingsKeys::Interval, QStringLiteral("15"));
        m_clock->set(m_moment.addSecs(10 * 3600));
        start();
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("23:59:59"));
        m_window->controls().catchUpBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::CatchUp), QStringLiteral("1"));

        start();
        m_window->controls().folderList->appendEntry(docs);
        QVERIFY(m_window->controls().catchUpBox->isChecked());
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("13:59:59"));
        // Asleep for twenty hours: the run fell due meanwhile.
        m_clock->sleep(20 * 3600);
        schedule().tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:29"));
        ticks(28);
        QCOMPARE(logLines().size(), 1);
        tick();
        QCOMPARE(logLines().size(), 2);
        QCOMPARE(ReadSetting(SettingsKeys::CountdownStarted), m_clock->now().toUTC().toString(Qt::ISODate));
    }

    void aLabelThatMatchesNoRowNeverRuns()
    {
        start();
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Docs")));
        m_window->controls().intervalList->currentItem()->setText(0, QStringLiteral("backup every 15 minutes"));
        for (int second = 1; second <= 3; ++second) {
            tick();
            QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:0%1").arg(second));
        }
        QCOMPARE(countdown().intervalSeconds(), 0);
        QVERIFY(logLines().isEmpty());
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void switchOffAndOnContinuesTheCount()
    {
        start();
        QCOMPARE(m_window->controls().autoBackupButton->text(), QStringLiteral("Turn Off Auto Zip And Backup"));
        ticks(3);
        QTest::mouseClick(m_window->controls().autoBackupButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().autoBackupButton->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(m_window->controls().countdownTimer->interval(), 0);
        QCOMPARE(ReadSetting(SettingsKeys::AutoBackup), QStringLiteral("Off"));
        // Switching off leaves the last countdown text standing.
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:14:57"));
        // A tick that still arrives once the timer is stopped says so and counts nothing.
        tick();
        QCOMPARE(m_window->status(), QStringLiteral("Auto Zip And Backup is Off."));
        QCOMPARE(countdown().elapsedSeconds(), 3);

        QTest::mouseClick(m_window->controls().autoBackupButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().autoBackupButton->text(), QStringLiteral("Turn Off Auto Zip And Backup"));
        QCOMPARE(m_window->controls().countdownTimer->interval(), 1000);
        QCOMPARE(ReadSetting(SettingsKeys::AutoBackup), QStringLiteral("On"));
        QCOMPARE(m_window->status(), QStringLiteral("Auto Zip And Backup is Off."));
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:14:56"));

        // A caption that is neither action changes nothing.
        m_window->controls().autoBackupButton->setText(QStringLiteral("turn off auto zip and backup"));
        QTest::mouseClick(m_window->controls().autoBackupButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().countdownTimer->interval(), 1000);
        QCOMPARE(ReadSetting(SettingsKeys::AutoBackup), QStringLiteral("On"));
    }

    // A tick queued just before the switch stopped the timer must not replace the frozen countdown.
    void aTickQueuedBeforeSwitchingOffDoesNothing()
    {
        start();
        m_quietTimer.reset();
        tick();
        const QString frozen = m_window->status();
        QTimer* clock = m_window->controls().countdownTimer->findChild<QTimer*>();
        // Switches off as the timer falls due, just after the window's tick was queued.
        connect(clock, &QTimer::timeout, this,
                [this] { QTest::mouseClick(m_window->controls().autoBackupButton, Qt::LeftButton); });
        QVERIFY(QSignalSpy(clock, &QTimer::timeout).wait(20000));
        QCoreApplication::processEvents();
        QCOMPARE(m_window->controls().countdownTimer->interval(), 0);
        QCOMPARE(m_window->status(), frozen);
        QCOMPARE(countdown().elapsedSeconds(), 1);
    }

    // Only the user's choice counts: not ticks let through by a start-up box, nor the row the list
    // makes current when it gets the focus, nor a click below the rows.
    void onlyTheUsersChoiceAfterStartUpCounts()
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("99"));
        WriteSetting(SettingsKeys::DateStamp, QStringLiteral("x"));
        {
            SlowBox box;
            start();
        }
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QFocusEvent tabbedInto(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(m_window->controls().intervalList, &tabbedInto);
        tick();
        QCOMPARE(ReadSetting(SettingsKeys::Interval), QStringLiteral("99"));
        QCOMPARE(countdown().intervalSeconds(), 0);

        QTest::keyClick(m_window->controls().intervalList, Qt::Key_Space);
        QCOMPARE(ReadSetting(SettingsKeys::Interval), QStringLiteral("1"));
        QWidget* rows = m_window->controls().intervalList->viewport();
        QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(5, rows->height() - 5));
        tick();
        QCOMPARE(countdown().intervalSeconds(), 5);
    }

    void storedSwitchState()
    {
        WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("Off"));
        m_window = std::make_unique<MainWindow>();
        m_window->load();
        QCOMPARE(m_window->controls().countdownTimer->interval(), 0);
        // The window's own timer is live here: no tick arrives while the switch is off.
        QTest::qWait(1500);
        QCOMPARE(m_window->status(), QStringLiteral("Auto Zip And Backup is Turned Off."));
        QCOMPARE(countdown().elapsedSeconds(), 0);

        WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("on"));
        m_window = std::make_unique<MainWindow>();
        m_window->load();
        QCOMPARE(m_window->controls().autoBackupButton->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(m_window->controls().countdownTimer->interval(), 0);
        QCOMPARE(m_window->status(), QStringLiteral("Next backup will occur in xx:xx:xx"));

        // And with the switch on, the window's own timer does tick.
        WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("On"));
        m_window = std::make_unique<MainWindow>();
        m_window->load();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->status().startsWith(Next), 20000);
    }

    void ticksDuringALongRunStartNoSecondRun()
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("1"));
        start();
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Big"), 40));
        ticks(4);
        QStringList during;
        whileRunning(
            [&] {
                if (!RunControl::IsRunning())
                    return true;
                tick();
                during.append(m_window->status());
                return during.size() < 3;
            },
            [&] { tick(); });
        QCOMPARE(during,
                 (QStringList { Next + QStringLiteral("00:00:01"), Next + QStringLiteral("00:00:02"),
                                Next + QStringLiteral("00:00:03") }));
        QCOMPARE(m_window->controls().progressBar->value(), 5);
        QCOMPARE(logLines().size(), 1);
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:00"));
    }

    void timedRunThatStopsEarly()
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("1"));
        start();
        ticks(4);
        QStringList seen;
        whileRunning(
            [&] {
                seen.append(m_window->status());
                return true;
            },
            [&] { tick(); });
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:00"));
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QVERIFY(logLines().isEmpty());
        QVERIFY(m_prompter->shown().isEmpty());

        // A missing backup folder: no folder is backed up, and with no notification area the status
        // line says so after the run.
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Docs")));
        m_window->controls().backupFolderEdit->setText(backups() + QStringLiteral("/gone"));
        ticks(5);
        QCOMPARE(m_window->status(),
                 QStringLiteral("1 of 1 folder was not backed up: \"Docs\". ") + backups()
                     + QStringLiteral("/gone does not exist."));
        QCOMPARE(countdown().elapsedSeconds(), 0);
        QVERIFY(logLines().isEmpty());
    }

    void manualRunWithAnEmptyList()
    {
        start();
        tick();
        const QString before = m_window->status();
        QStringList seen;
        bool busyDuringRun = false;
        whileRunning(
            [&] {
                if (seen.isEmpty() || seen.last() != m_window->status())
                    seen.append(m_window->status());
                busyDuringRun = busyDuringRun || m_window->isBusy();
                return true;
            },
            [&] { QTest::mouseClick(m_window->controls().backupNowButton, Qt::LeftButton); });
        // The run stops at once; its message stays up during the pause, then the old text is back.
        QVERIFY2(seen.contains(QStringLiteral("No files added to backup.")), qPrintable(seen.join(u'|')));
        QCOMPARE(m_window->status(), before);
        QVERIFY(!m_window->isBusy());
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(m_window->controls().progressBar->value(), 0);
        QCOMPARE(m_window->controls().progressBar->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(countdown().elapsedSeconds(), 1);
    }

    void manualRunIsBusyShowsDoneAndPausesForFiveSeconds()
    {
        WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("Off"));
        start();
        schedule().setResultPauseSeconds(5);
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Docs")));
        QCOMPARE(m_window->status(), QStringLiteral("Auto Zip And Backup is Turned Off."));
        bool busyInRun = false;
        QString statusInRun;
        QStringList afterRun;
        QElapsedTimer clock;
        qint64 pausedFor = 0;
        whileRunning(
            [&] {
                if (RunControl::IsRunning()) {
                    busyInRun = busyInRun || m_window->isBusy();
                    if (statusInRun.isEmpty())
                        statusInRun = m_window->status();
                } else if (!statusInRun.isEmpty()) {
                    if (!clock.isValid())
                        clock.start();
                    if (afterRun.isEmpty() || afterRun.last() != m_window->status())
                        afterRun.append(m_window->status());
                    pausedFor = clock.elapsed();
                }
                return true;
            },
            [&] { QTest::mouseClick(m_window->controls().backupNowButton, Qt::LeftButton); });
        QVERIFY(busyInRun);
        QCOMPARE(statusInRun, QStringLiteral("Zipping and backing up files..."));
        QCOMPARE(m_prompter->texts().last(), QStringLiteral("Done."));
        QCOMPARE(logLines().size(), 1);
        // The run's final words stayed up, with the window live, for the pause.
        QCOMPARE(afterRun, QStringList { QStringLiteral("Auto Backup Complete at ") + RegionalDateTime(m_moment) });
        QVERIFY2(pausedFor >= 4500, qPrintable(QString::number(pausedFor)));
        QCOMPARE(m_window->status(), QStringLiteral("Auto Zip And Backup is Turned Off."));
        QVERIFY(!m_window->isBusy());
        QCOMPARE(countdown().elapsedSeconds(), 0);
    }

    void runsNeverOverlap()
    {
        WriteSetting(SettingsKeys::Interval, QStringLiteral("1"));
        start();
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("One"), 20));
        m_window->controls().folderList->appendEntry(makeFolder(QStringLiteral("Two"), 20));
        ticks(3);

        // During a manual run: a second click does nothing, and a timed run falling due is skipped.
        int clicks = 0;
        QString statusAfterClick;
        whileRunning(
            [&] {
                if (!RunControl::IsRunning())
                    return true;
                if (clicks == 0) {
                    QTest::mouseClick(m_window->controls().backupNowButton, Qt::LeftButton);
                    statusAfterClick = m_window->status();
                    ++clicks;
                    tick();
                    tick();
                    return true;
                }
                return false;
            },
            [&] { QTest::mouseClick(m_window->controls().backupNowButton, Qt::LeftButton); });
        QCOMPARE(clicks, 1);
        QCOMPARE(statusAfterClick, QStringLiteral("Zipping and backing up files..."));
        QCOMPARE(logLines().size(), 2);
        QCOMPARE(m_prompter->texts().count(QStringLiteral("Done.")), 1);
        QCOMPARE(countdown().elapsedSeconds(), 0);
        tick();
        QCOMPARE(m_window->status(), Next + QStringLiteral("00:00:04"));

        // During a timed run: a click does nothing either.
        m_prompter->clear();
        ticks(3);
        clicks = 0;
        whileRunning(
            [&] {
                if (!RunControl::IsRunning())
                    return true;
                QTest::mouseClick(m_window->controls().backupNowButton, Qt::LeftButton);
                ++clicks;
                return false;
            },
            [&] { tick(); });
        QCOMPARE(clicks, 1);
        QCOMPARE(logLines().size(), 4);
        QVERIFY(m_prompter->shown().isEmpty());
        QVERIFY(!m_window->isBusy());

        // Once the run is over the button works again.
        QTest::mouseClick(m_window->controls().backupNowButton, Qt::LeftButton);
        QCOMPARE(logLines().size(), 6);
    }
};

QTEST_MAIN(TestSchedule)
#include "TestSchedule.moc"
