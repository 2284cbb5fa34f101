#include "backup/BackupRun.h"
#include "backup/RunOutcome.h"
#include "folders/FolderListView.h"
#include "folders/StubFolderDialog.h"
#include "history/HistoryFile.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"
#include "window/RunAdapters.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

// The backup folder is the mount point of a real disk (an ext4 image mounted through a loop
// device), which is then unmounted and mounted again as a user unplugs and plugs a USB disk.
class TestBackupDisk : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_files;
    bool m_mounted = false;

    QString backups() const { return m_files.path() + QStringLiteral("/Backups"); }
    QString image() const { return m_files.path() + QStringLiteral("/disk.img"); }

    static bool succeeds(const QString& program, const QStringList& arguments)
    {
        return QProcess::execute(program, arguments) == 0;
    }
    bool mount()
    {
        m_mounted
            = succeeds(QStringLiteral("mount"), { QStringLiteral("-o"), QStringLiteral("loop"), image(), backups() });
        return m_mounted;
    }
    void unmount()
    {
        if (m_mounted && succeeds(QStringLiteral("umount"), { backups() }))
            m_mounted = false;
    }

    // The archives in the backup folder, with a digest of each.
    QMap<QString, QByteArray> archives() const
    {
        QMap<QString, QByteArray> found;
        for (const QString& name : QDir(backups()).entryList({ QStringLiteral("*.zip") }, QDir::Files | QDir::Hidden)) {
            QFile file(backups() + u'/' + name);
            if (file.open(QIODevice::ReadOnly))
                found.insert(name, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1));
        }
        return found;
    }

    static RunOutcome run(const MainWindow& window)
    {
        const ControlsBackupChoices choices(window.controls());
        StatusFrameLine status(*window.controls().statusFrame);
        return RunBackup(choices, status, false);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a disk image needs root");
        QFile disk(image());
        QVERIFY(disk.open(QIODevice::WriteOnly) && disk.resize(16 << 20));
        disk.close();
        if (!succeeds(QStringLiteral("mkfs.ext4"), { QStringLiteral("-q"), QStringLiteral("-F"), image() }))
            QSKIP("mkfs.ext4 could not make a disk image");
        QVERIFY(QDir().mkpath(backups()));
        if (!mount())
            QSKIP("the disk image could not be mounted through a loop device");
    }

    void cleanupTestCase() { unmount(); }

    void aRunNeverWritesIntoTheMountPointOfADiskThatIsNotConnected()
    {
        beginTest();
        StubFolderDialog dialog;
        SetHistoryFile(HistoryFilePath(QStringLiteral("Tessaly")));
        QFile::remove(HistoryFile());
        MainWindow window;
        const MainWindowControls& c = window.controls();
        c.backupFolderEdit->setText(backups());
        c.prefixEdit->setText(QStringLiteral("Backup"));
        c.dateStampBox->setChecked(false);
        c.timeStampBox->setChecked(false);
        for (const QString& name : { QStringLiteral("Letters"), QStringLiteral("Photos") }) {
            const QString folder = m_files.path() + u'/' + name;
            QVERIFY(QDir().mkpath(folder));
            QFile file(folder + QStringLiteral("/a.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8());
            c.folderList->appendEntry(folder);
        }

        // The first run into the folder takes the disk it is on.
        QVERIFY(run(window).fullySucceeded());
        const QMap<QString, QByteArray> onDisk = archives();
        QCOMPARE(onDisk.keys(),
                 (QStringList { QStringLiteral("Backup Letters.zip"), QStringLiteral("Backup Photos.zip") }));

        // Unplugged: nothing is written into the empty mount point, every folder is told.
        unmount();
        QVERIFY(!m_mounted);
        m_prompter->clear();
        const RunOutcome missed = run(window);
        QCOMPARE(missed.failed, 2);
        QVERIFY(missed.stoppedBecause.contains(QStringLiteral("The backup disk is not connected")));
        QVERIFY(QDir(backups()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QCOMPARE(m_prompter->shown().size(), 1);
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 4);
        QVERIFY2(lines[2].startsWith(QStringLiteral("Letters was not backup and zipped because the backup disk is not "
                                                    "connected: ")),
                 qPrintable(lines[2]));
        QVERIFY2(lines[3].startsWith(QStringLiteral("Photos was not backup and zipped because the backup disk is not")),
                 qPrintable(lines[3]));

        // Plugged in again: the archives are as they were, with nothing hidden beneath.
        QVERIFY(mount());
        QCOMPARE(archives(), onDisk);
        unmount();

        // Typing the folder again takes the system disk beneath as it is now.
        c.backupFolderEdit->selectAll();
        QTest::keyClicks(c.backupFolderEdit, backups());
        QVERIFY(run(window).fullySucceeded());
        QCOMPARE(archives().size(), 2);
        QDir(backups()).removeRecursively();
        QVERIFY(QDir().mkpath(backups()));

        // Which makes the disk the other one now: a run into it writes nothing...
        QVERIFY(mount());
        QCOMPARE(run(window).failed, 2);
        QCOMPARE(archives(), onDisk);
        // ... until the folder is chosen again, the same one.
        dialog.setNextDirectory(backups());
        QTest::mouseClick(c.chooseBackupFolderButton, Qt::LeftButton);
        QVERIFY(run(window).fullySucceeded());
        QVERIFY(logLines().constLast().startsWith(QStringLiteral("Photos was backup and zipped as ")));
        endTest();
    }
};

QTEST_MAIN(TestBackupDisk)
#include "TestBackupDisk.moc"
