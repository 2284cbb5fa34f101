#include "backup/RunControl.h"
#include "base/SettingsStore.h"
#include "folders/FolderListView.h"
#include "history/HistoryFile.h"
#include "schedule/ScheduleController.h"
#include "support/TempSettings.h"
#include "support/TestPrompter.h"
#include "window/MainWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Closing the window while a manual run is in progress. A test executable of its own: closing the
// window ends the application's event loops for good.
class TestCloseDuringRun : public QObject
{
    Q_OBJECT

    TempSettings m_settings;
    QTemporaryDir m_files;

    void write(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

private Q_SLOTS:
    void closeCancelsTheRunAndKeepsThePreviousArchive()
    {
        TestPrompter prompter;
        const QString backups = m_files.path() + QStringLiteral("/Backups");
        QVERIFY(QDir().mkpath(backups));
        SettingsStore::WriteSetting(SettingsKeys::BackupFolder, backups);
        SettingsStore::WriteSetting(SettingsKeys::DateStamp, QStringLiteral("0"));
        SettingsStore::WriteSetting(SettingsKeys::TimeStamp, QStringLiteral("0"));
        SettingsStore::WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("Off"));
        const QString first = m_files.path() + QStringLiteral("/First");
        const QString second = m_files.path() + QStringLiteral("/Second");
        write(first + QStringLiteral("/a.txt"), "a");
        write(second + QStringLiteral("/b.txt"), "b");
        write(backups + QStringLiteral("/Backup First.zip"), "the previous archive");

        MainWindow window;
        window.load();
        window.controls().folderList->appendEntry(first);
        window.controls().folderList->appendEntry(second);
        window.findChild<ScheduleController*>()->setResultPauseSeconds(60);

        bool closedDuringRun = false;
        QElapsedTimer sinceClose;
        QTimer closer;
        closer.setInterval(0);
        connect(&closer, &QTimer::timeout, this, [&] {
            if (RunControl::IsRunning() && !sinceClose.isValid()) {
                closedDuringRun = true;
                sinceClose.start();
                window.close();
            }
        });
        closer.start();
        QTest::mouseClick(window.controls().backupNowButton, Qt::LeftButton);
        closer.stop();

        QVERIFY(closedDuringRun);
        QVERIFY(!RunControl::IsRunning());
        // No further folder, no boxes, and the result pause does not hold the program open.
        QVERIFY2(sinceClose.elapsed() < 30000, qPrintable(QString::number(sinceClose.elapsed())));
        QVERIFY(prompter.shown().isEmpty());
        QCOMPARE(QDir(backups).entryList(QDir::Files | QDir::Hidden),
                 QStringList { QStringLiteral("Backup First.zip") });
        QFile previous(backups + QStringLiteral("/Backup First.zip"));
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), QByteArray("the previous archive"));
        QVERIFY(!window.isBusy());
        // The list was saved on the way out.
        QCOMPARE(SettingsStore::ReadSetting(SettingsKeys::Folders), window.controls().folderList->encodeFolders());
    }
};

QTEST_MAIN(TestCloseDuringRun)
#include "TestCloseDuringRun.moc"
