#include "backup/BackupRun.h"
#include "backup/Clock.h"
#include "backup/RunControl.h"
#include "backup/TestClock.h"
#include "base/Prompter.h"
#include "base/SettingsStore.h"
#include "folders/FolderListView.h"
#include "folders/StubFolderDialog.h"
#include "history/HistoryFile.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"
#include "window/RunAdapters.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Backup runs over real folder trees on the real window; the archives are read back with unzip.
class TestBackupRun : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_files;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<MainWindow> m_window;
    const QDateTime m_moment { QDate(2021, 8, 31), QTime(14, 5) };

    QString src() const { return m_files.path() + QStringLiteral("/Src/"); }
    QString backups() const { return m_files.path() + QStringLiteral("/Backups"); }
    QString when() const { return RegionalDateTime(m_moment); }

    void write(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // The file names in the archive, in archive order, relative to the source folders.
    QStringList filesIn(const QString& archive)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), { QStringLiteral("-Z1"), archive });
        if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0)
            return { QStringLiteral("<unreadable: ") + QString::fromLocal8Bit(unzip.readAllStandardError()) + u'>' };
        const QString stored = src().mid(1);
        QStringList names;
        for (const QString& name : QString::fromUtf8(unzip.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
            if (!name.endsWith(u'/'))
                names.append(name.startsWith(stored) ? name.mid(stored.size()) : name);
        }
        return names;
    }

    QByteArray contentIn(const QString& archive, const QString& relative)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), { QStringLiteral("-p"), archive, src().mid(1) + relative });
        unzip.waitForFinished(60000);
        return unzip.readAllStandardOutput();
    }

    QStringList backupFiles() const { return QDir(backups()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    void options(const QString& prefix, bool date, bool time)
    {
        m_window->controls().prefixEdit->setText(prefix);
        m_window->controls().dateStampBox->setChecked(date);
        m_window->controls().timeStampBox->setChecked(time);
    }

    void run(bool silent)
    {
        const ControlsBackupChoices choices(m_window->controls());
        StatusFrameLine status(*m_window->controls().statusFrame);
        RunBackup(choices, status, silent);
    }

    // Runs with `step` called on every pass of the event loop for as long as it returns true.
    void runWhile(bool silent, const std::function<bool()>& step)
    {
        whileRunning(step, [&] { run(silent); });
    }

    QString applicationError(int line) const
    {
        return QStringLiteral("in Tessaly2021/08/31.IntervalSave.SaveAll at line ") + QString::number(line);
    }

private Q_SLOTS:
    void init()
    {
        beginTest();
        QDir(src()).removeRecursively();
        QDir(backups()).removeRecursively();
        QVERIFY(QDir().mkpath(backups()));
        m_clock = std::make_unique<TestClock>(m_moment);
        m_window = std::make_unique<MainWindow>();
        m_window->controls().backupFolderEdit->setText(backups());
        options(QStringLiteral("Backup"), true, true);
        SetHistoryFile(HistoryFilePath(QStringLiteral("Tessaly")));
        QFile::remove(HistoryFile());
    }

    void cleanup()
    {
        m_window.reset();
        m_clock.reset();
        endTest();
    }

    void workedExample()
    {
        write(src() + QStringLiteral("Documents/a.txt"), "top");
        write(src() + QStringLiteral("Documents/Sub/b.txt"), "in sub");
        write(src() + QStringLiteral("Documents/Sub/Deep/c.txt"), "deep down");
        write(src() + QStringLiteral("Documents/Other/d.txt"), "other");
        write(src() + QStringLiteral("Documents/.hidden/h.txt"), "hidden");
        write(src() + QStringLiteral("Documents/.hidden/Inner/i.txt"), "below hidden");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Documents/"));
        run(false);

        const QString archive = backups() + QStringLiteral("/Backup 2021-08-31 02-05-PM Documents.zip");
        QCOMPARE(backupFiles(), QStringList { QStringLiteral("Backup 2021-08-31 02-05-PM Documents.zip") });
        // The folder's own files, then one folder after another in the walk's order.
        QCOMPARE(filesIn(archive),
                 (QStringList { QStringLiteral("Documents/a.txt"), QStringLiteral("Documents/Sub/Deep/c.txt"),
                                QStringLiteral("Documents/Other/d.txt"), QStringLiteral("Documents/Sub/b.txt") }));
        QCOMPARE(contentIn(archive, QStringLiteral("Documents/Sub/Deep/c.txt")), QByteArray("deep down"));
        QCOMPARE(logLines(),
                 QStringList { QStringLiteral("Documents was backup and zipped as ") + archive + QStringLiteral(" at ")
                               + when() });
        QCOMPARE(m_prompter->texts(), QStringList { QStringLiteral("Done.") });
        QCOMPARE(m_prompter->shown().first().title, ApplicationTitle());
        QCOMPARE(m_window->status(), QStringLiteral("Auto Backup Complete at ") + when());
        // The list is left as it was.
        QCOMPARE(m_window->controls().folderList->entries(), QStringList { src() + QStringLiteral("Documents/") });
    }

    void archiveNames_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("date");
        QTest::addColumn<bool>("time");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("backupSuffix");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("logName");
        QTest::newRow("no prefix, no stamps") << "" << false << false << "Documents"
                                              << ""
                                              << "Documents.zip"
                                              << "Documents";
        QTest::newRow("blanks around the prefix") << "  Daily  " << false << false << "Documents"
                                                  << ""
                                                  << "Daily Documents.zip"
                                                  << "Documents";
        QTest::newRow("date only") << "" << true << false << "Documents"
                                   << ""
                                   << "2021-08-31 Documents.zip"
                                   << "Documents";
        QTest::newRow("time only") << "Backup" << false << true << "Documents"
                                   << ""
                                   << "Backup 02-05-PM Documents.zip"
                                   << "Documents";
        QTest::newRow("one trailing separator") << "Backup" << true << false << "Documents/"
                                                << ""
                                                << "Backup 2021-08-31 Documents.zip"
                                                << "Documents";
        QTest::newRow("two trailing separators") << "Backup" << true << false << "Documents//"
                                                 << ""
                                                 << "Backup 2021-08-31.zip"
                                                 << "";
        QTest::newRow("backup folder with a trailing separator") << "" << false << false << "Documents"
                                                                 << "/"
                                                                 << "Documents.zip"
                                                                 << "Documents";
    }

    void archiveNames()
    {
        QFETCH(QString, prefix);
        QFETCH(bool, date);
        QFETCH(bool, time);
        QFETCH(QString, entry);
        QFETCH(QString, backupSuffix);
        QFETCH(QString, archive);
        QFETCH(QString, logName);
        write(src() + QStringLiteral("Documents/a.txt"), "a");
        options(prefix, date, time);
        m_window->controls().backupFolderEdit->setText(backups() + backupSuffix);
        m_window->controls().folderList->appendEntry(src() + entry);
        run(true);
        QCOMPARE(backupFiles(), QStringList { archive });
        QCOMPARE(filesIn(backups() + u'/' + archive), QStringList { QStringLiteral("Documents/a.txt") });
        QCOMPARE(logLines(),
                 QStringList { logName + QStringLiteral(" was backup and zipped as ") + backups() + u'/' + archive
                               + QStringLiteral(" at ") + when() });
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void foldersInListOrderAndSameNameReplaces()
    {
        write(src() + QStringLiteral("Zeta/z.txt"), "z");
        write(src() + QStringLiteral("Alpha/old.txt"), "old");
        options(QStringLiteral("Backup"), false, false);
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Zeta"));
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Alpha"));
        run(true);
        const QString alpha = backups() + QStringLiteral("/Backup Alpha.zip");
        const QString zeta = backups() + QStringLiteral("/Backup Zeta.zip");
        QCOMPARE(logLines(),
                 (QStringList {
                     QStringLiteral("Zeta was backup and zipped as ") + zeta + QStringLiteral(" at ") + when(),
                     QStringLiteral("Alpha was backup and zipped as ") + alpha + QStringLiteral(" at ") + when() }));
        QCOMPARE(filesIn(alpha), QStringList { QStringLiteral("Alpha/old.txt") });

        // A later run of the same name replaces the archive: what was removed is gone from it.
        QVERIFY(QFile::remove(src() + QStringLiteral("Alpha/old.txt")));
        write(src() + QStringLiteral("Alpha/new.txt"), "new");
        QVERIFY(QFile::setPermissions(alpha, QFile::ReadOwner));
        run(true);
        QCOMPARE(filesIn(alpha), QStringList { QStringLiteral("Alpha/new.txt") });
        QCOMPARE(backupFiles(),
                 (QStringList { QStringLiteral("Backup Alpha.zip"), QStringLiteral("Backup Zeta.zip") }));
        QCOMPARE(logLines().size(), 4);
    }

    void failedFolderKeepsTheOlderArchive()
    {
        write(src() + QStringLiteral("Gone/g.txt"), "g");
        options(QStringLiteral("Backup"), false, false);
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Gone"));
        run(true);
        const QString archive = backups() + QStringLiteral("/Backup Gone.zip");
        const QByteArray older = read(archive);
        QCOMPARE(filesIn(archive), QStringList { QStringLiteral("Gone/g.txt") });

        QVERIFY(QDir(src() + QStringLiteral("Gone")).removeRecursively());
        write(src() + QStringLiteral("Kept/k.txt"), "k");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Kept"));
        run(false);
        // The engine's two lines ("name not matched", "nothing to do") stay two lines of the log.
        QCOMPARE(logLines().size(), 4);
        const QString failure = logLines().mid(1, 2).join(QStringLiteral("\r\n"));
        const QString start = QStringLiteral("Gone was not backup and zipped because ");
        QVERIFY2(failure.startsWith(start) && failure.endsWith(QStringLiteral(", ") + when()), qPrintable(failure));
        const QString reason = failure.mid(start.size()).chopped(2 + when().size());
        QVERIFY2(reason.contains(QStringLiteral("Gone")), qPrintable(reason));
        // Not silent: the engine's words in a box, then the run goes on and ends with "Done.".
        QCOMPARE(m_prompter->texts(),
                 (QStringList { QString(reason).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + u'\n',
                                QStringLiteral("Done.") }));
        QVERIFY(logLines().at(3).startsWith(QStringLiteral("Kept was backup and zipped as ")));
        QCOMPARE(read(archive), older);
        QCOMPARE(backupFiles(), (QStringList { QStringLiteral("Backup Gone.zip"), QStringLiteral("Backup Kept.zip") }));

        // Silent: no box at all, the same entry.
        m_prompter->clear();
        run(true);
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(logLines().mid(4, 2).join(QStringLiteral("\r\n")), failure);
        QCOMPARE(read(archive), older);

        // An entry naming a file fails the same way.
        m_prompter->clear();
        write(src() + QStringLiteral("plain.txt"), "p");
        m_window->controls().folderList->clear();
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("plain.txt"));
        run(true);
        const QString plain = logLines().at(logLines().size() - 2); // the first of the entry's two lines
        QVERIFY2(plain.startsWith(QStringLiteral("plain.txt was not backup and zipped because ")), qPrintable(plain));
        QVERIFY(!backupFiles().contains(QStringLiteral("Backup plain.txt.zip")));
    }

    void filesLeftOutAreNamedWithTheArchiveWritten()
    {
        // A FIFO is not a file a backup can hold: leaving it out is no failure.
        write(src() + QStringLiteral("Pipes/a.txt"), "a");
        const QString fifo = src() + QStringLiteral("Pipes/queue");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        options(QStringLiteral("Backup"), false, false);
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Pipes"));
        run(true);
        const QString archive = backups() + QStringLiteral("/Backup Pipes.zip");
        QCOMPARE(filesIn(archive), QStringList { QStringLiteral("Pipes/a.txt") });
        QCOMPARE(logLines(),
                 QStringList { QStringLiteral("Pipes was backup and zipped as ") + archive + QStringLiteral(" at ")
                               + when() });
    }

    void earlyExitsLogNothing()
    {
        // The list is checked first, even when the backup folder is missing too.
        m_window->controls().backupFolderEdit->setText(backups() + QStringLiteral("/missing"));
        run(false);
        QCOMPARE(m_window->status(), QStringLiteral("No files added to backup."));

        write(src() + QStringLiteral("Docs/a.txt"), "a");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Docs"));
        run(false);
        QCOMPARE(m_window->status(), backups() + QStringLiteral("/missing does not exist"));
        m_window->controls().backupFolderEdit->clear();
        run(false);
        QCOMPARE(m_window->status(), QStringLiteral(" does not exist"));
        write(backups() + QStringLiteral("/a file"), "f");
        m_window->controls().backupFolderEdit->setText(backups() + QStringLiteral("/a file"));
        run(true);
        QCOMPARE(m_window->status(), backups() + QStringLiteral("/a file does not exist"));

        QVERIFY(m_prompter->shown().isEmpty());
        QVERIFY(!QFile::exists(HistoryFile()));
        QCOMPARE(backupFiles(), QStringList { QStringLiteral("a file") });
    }

    void clearedLogStartsAgainWithTheNextEntry()
    {
        write(src() + QStringLiteral("Docs/a.txt"), "a");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Docs"));
        run(true);
        QCOMPARE(logLines().size(), 1);
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        QTest::mouseClick(m_window->controls().clearHistoryButton, Qt::LeftButton);
        QVERIFY(!QFile::exists(HistoryFile()));
        m_clock->set(m_moment.addSecs(3600));
        run(true);
        QCOMPARE(logLines().size(), 1);
        QVERIFY2(logLines().first().startsWith(QStringLiteral("Docs was backup and zipped as ") + backups()
                                               + QStringLiteral("/Backup 2021-08-31 03-05-PM Docs.zip at ")),
                 qPrintable(logLines().first()));
    }

    void entriesRemovedDuringTheRun()
    {
        for (const char* name : { "One", "Two", "Three" }) {
            write(src() + QLatin1String(name) + QStringLiteral("/f.txt"), "f");
            m_window->controls().folderList->appendEntry(src() + QLatin1String(name));
        }
        options(QString(), false, false);
        runWhile(true, [&] {
            delete m_window->controls().folderList->topLevelItem(2);
            delete m_window->controls().folderList->topLevelItem(1);
            return false;
        });
        // One box for the position that is gone, even in a silent run; the rest of the run goes on.
        QCOMPARE(m_prompter->shown().size(), 1);
        QCOMPARE(m_prompter->shown().first().title, QStringLiteral("Application Error"));
        QVERIFY2(
            m_prompter->texts().first().startsWith(QStringLiteral("Index out of bounds\r\n") + applicationError(100)),
            qPrintable(m_prompter->texts().first()));
        QCOMPARE(backupFiles(), QStringList { QStringLiteral("One.zip") });
        QCOMPARE(logLines().size(), 1);
        QCOMPARE(m_window->status(), QStringLiteral("Auto Backup Complete at ") + when());
    }

    void optionsAndClockAreReadForEveryFolder()
    {
        write(src() + QStringLiteral("A/a.txt"), "a");
        write(src() + QStringLiteral("B/b.txt"), "b");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("A"));
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("B"));
        // Every read of the clock is a minute later than the one before.
        m_clock->setStepSeconds(60);
        runWhile(true, [&] {
            m_window->controls().prefixEdit->setText(QStringLiteral("Changed"));
            return false;
        });
        const auto at = [&](int minutes) { return RegionalDateTime(m_moment.addSecs(60 * minutes)); };
        QCOMPARE(logLines(),
                 (QStringList { QStringLiteral("A was backup and zipped as ") + backups()
                                    + QStringLiteral("/Backup 2021-08-31 02-06-PM A.zip at ") + at(2),
                                QStringLiteral("B was backup and zipped as ") + backups()
                                    + QStringLiteral("/Changed 2021-08-31 02-09-PM B.zip at ") + at(5) }));
        QCOMPARE(m_window->status(), QStringLiteral("Auto Backup Complete at ") + at(6));
    }

    void unwritableLogLosesTheEntryNotTheArchive()
    {
        write(src() + QStringLiteral("A/a.txt"), "a");
        write(src() + QStringLiteral("B/b.txt"), "b");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("A"));
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("B"));
        options(QString(), false, false);
        SetHistoryFile(m_files.path() + QStringLiteral("/no such folder/Tessaly.txt"));
        run(true);
        QCOMPARE(m_prompter->shown().size(), 2);
        for (const QString& text : m_prompter->texts())
            QVERIFY2(text.contains(applicationError(200)), qPrintable(text));
        QCOMPARE(backupFiles(), (QStringList { QStringLiteral("A.zip"), QStringLiteral("B.zip") }));
        QCOMPARE(m_window->status(), QStringLiteral("Auto Backup Complete at ") + when());
    }

    void cancelStopsBeforeTheNextFolder()
    {
        write(src() + QStringLiteral("A/a.txt"), "a");
        write(src() + QStringLiteral("B/b.txt"), "b");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("A"));
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("B"));
        options(QString(), false, false);
        const QString before = m_window->status();
        {
            RunControl::Guard guard;
            QVERIFY(guard.owns());
            runWhile(false, [&] {
                RunControl::RequestCancel();
                return false;
            });
        }
        QVERIFY(!backupFiles().contains(QStringLiteral("B.zip")));
        QVERIFY(logLines().size() <= 1);
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(m_window->status(), before);
        // The next run is not cancelled.
        {
            RunControl::Guard guard;
            run(true);
        }
        QCOMPARE(backupFiles(), (QStringList { QStringLiteral("A.zip"), QStringLiteral("B.zip") }));
    }

    void keepingTheLastRemovesOnlyAFoldersOldestArchives()
    {
        const auto old = [&](const QString& name, int minutesAgo) {
            QFile file(backups() + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo),
                                     QFileDevice::FileModificationTime));
        };
        const auto removals = [&](const QStringList& names) {
            QStringList lines;
            for (const QString& name : names)
                lines << QStringLiteral("Old backup %1/%2 was removed, keeping the last 2").arg(backups(), name);
            return lines;
        };
        // Modification times run against the stamps, which decide.
        const QStringList docs
            = QStringLiteral("Backup 2021-08-30 12-30-AM Docs.zip|Backup 2021-08-30 11-00-AM Docs.zip|"
                             "Backup 2021-08-30 01-00-PM Docs.zip|Backup 2021-08-31 01-15-AM Docs.zip")
                  .split(u'|');
        for (int i = 0; i < docs.size(); ++i)
            old(docs[i], 10 + i);
        const QStringList others
            = QStringLiteral(
                  "Backup 2021-08-29 09-00-AM My Docs.zip|Nightly 2021-08-29 09-00-AM Docs.zip|Backup Docs.zip|"
                  "Backup 2021-08-29 Docs.zip|Backup 2021-02-30 09-00-AM Docs.zip|Backup 2021-08-29 09-00-AM "
                  "Docs.zip.txt|"
                  "Backup 2021-08-28 09-00-AM Missing.zip|Backup 2021-08-29 09-00-AM Missing.zip|notes.txt")
                  .split(u'|');
        for (const QString& name : others)
            old(name, 100);
        write(src() + QStringLiteral("Docs/a.txt"), "a");
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Docs"));
        m_window->controls().folderList->appendEntry(src() + QStringLiteral("Missing"));
        run(true);
        QCOMPARE(backupFiles().size(), docs.size() + others.size() + 1);

        m_window->controls().keepLastBox->setValue(2);
        run(true);
        QCOMPARE(logLines().filter(QStringLiteral("Old backup ")), removals(docs.first(3)));
        QStringList left = others + QStringList { docs.last(), QStringLiteral("Backup 2021-08-31 02-05-PM Docs.zip") };
        left.sort();
        QCOMPARE(backupFiles(), left);

        // A time stamp alone cannot tell old from new: the modification time does.
        m_window->controls().dateStampBox->setChecked(false);
        old(QStringLiteral("Backup 01-00-AM Docs.zip"), 5);
        old(QStringLiteral("Backup 11-00-PM Docs.zip"), 50);
        old(QStringLiteral("Backup 03-00-PM Docs.zip"), 30);
        run(true);
        QCOMPARE(logLines().filter(QStringLiteral("Old backup ")).mid(3),
                 removals({ QStringLiteral("Backup 11-00-PM Docs.zip"), QStringLiteral("Backup 03-00-PM Docs.zip") }));

        // Stored at once and restored; a stored text that is no count keeps all.
        QCOMPARE(load()->controls().keepLastBox->value(), 2);
        SettingsStore::WriteSetting(SettingsKeys::KeepLast, QStringLiteral("-3"));
        QCOMPARE(load()->controls().keepLastBox->value(), 0);
    }

    // The backup folder is the mount point of a disk (an ext4 image through a loop device), which is
    // unmounted and mounted again as a USB disk is unplugged and plugged in.
    void aDiskThatIsNotConnectedIsNeverWrittenUnder()
    {
        QTemporaryDir disk;
        const QString image = disk.path() + QStringLiteral("/disk.img");
        const auto mount = [&] {
            return QProcess::execute(QStringLiteral("mount"),
                                     { QStringLiteral("-o"), QStringLiteral("loop"), image, backups() })
                == 0;
        };
        const auto unmount = [&] { return QProcess::execute(QStringLiteral("umount"), { backups() }) == 0; };
        QFile file(image);
        if (::geteuid() != 0 || !file.open(QIODevice::WriteOnly) || !file.resize(16 << 20)
            || QProcess::execute(QStringLiteral("mkfs.ext4"), { QStringLiteral("-q"), QStringLiteral("-F"), image })
                != 0
            || !mount())
            QSKIP("a disk image needs root, mkfs.ext4 and a loop device");
        const auto unmountAtEnd = qScopeGuard(unmount);
        StubFolderDialog dialog;
        options(QStringLiteral("Backup"), false, false);
        for (const QString& name : { QStringLiteral("Letters"), QStringLiteral("Photos") }) {
            write(src() + name + QStringLiteral("/a.txt"), name.toUtf8());
            m_window->controls().folderList->appendEntry(src() + name);
        }
        run(true);
        const QStringList onDisk = backupFiles();
        const QByteArray letters = read(backups() + QStringLiteral("/Backup Letters.zip"));
        QCOMPARE(onDisk.size(), 2);

        // Unplugged: nothing goes into the empty mount point, and every folder is told.
        QVERIFY(unmount());
        run(false);
        QVERIFY(backupFiles().isEmpty());
        QVERIFY(m_prompter->texts().constLast().startsWith(QStringLiteral("The backup disk is not connected (")));
        const QString missing = QStringLiteral(" was not backup and zipped because the backup disk is not connected: ");
        QVERIFY(logLines().at(2).startsWith(QStringLiteral("Letters") + missing));
        QVERIFY(logLines().at(3).startsWith(QStringLiteral("Photos") + missing));
        // Plugged in again: the archives as they were, nothing hidden beneath.
        QVERIFY(mount());
        QCOMPARE(backupFiles(), onDisk);
        QCOMPARE(read(backups() + QStringLiteral("/Backup Letters.zip")), letters);

        // Typed again, the folder is taken on the disk it is on now: the one beneath...
        QVERIFY(unmount());
        m_window->controls().backupFolderEdit->selectAll();
        QTest::keyClicks(m_window->controls().backupFolderEdit, backups());
        run(true);
        QCOMPARE(backupFiles(), onDisk);
        QDir(backups()).removeRecursively();
        QDir().mkpath(backups());
        // ... which the plugged disk is not, until the folder is chosen again.
        QVERIFY(mount());
        run(true);
        QVERIFY(logLines().constLast().startsWith(QStringLiteral("Photos") + missing));
        dialog.setNextDirectory(backups());
        QTest::mouseClick(m_window->controls().chooseBackupFolderButton, Qt::LeftButton);
        run(true);
        QVERIFY(logLines().constLast().startsWith(QStringLiteral("Photos was backup and zipped as ")));
    }
};

QTEST_MAIN(TestBackupRun)
#include "TestBackupRun.moc"
