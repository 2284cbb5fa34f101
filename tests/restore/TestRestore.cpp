#include "backup/TestClock.h"
#include "history/HistoryFile.h"
#include "restore/BackupCatalog.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreRun.h"
#include "restore/RestoreTestTools.h"
#include "support/TempSettings.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipExpand.h"
#include "zip/ZipTestTools.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace RestoreTestTools;

// Restores from archives the backup run made (and from hostile ones made elsewhere) into real
// folders, and compares what comes back byte for byte.
class TestRestore : public QObject
{
    Q_OBJECT

    TempSettings m_settings;
    QTemporaryDir m_dir;
    Choices m_choices;
    const QDateTime m_moment { QDate(2021, 8, 31), QTime(14, 5) };

    QByteArray path(const char* relative) const { return QFile::encodeName(m_dir.path()) + '/' + relative; }
    QByteArray docs() const { return path("Docs"); }

    // Restores every entry of the archive (or those whose path starts with `only`) into the target.
    RestoreOutcome restore(const QString& archive, const QByteArray& target,
                           ExistingFiles existing = ExistingFiles::Keep, const QByteArray& only = {},
                           RestoreProgress* progress = nullptr)
    {
        const QByteArray root = QFile::encodeName(StoredName(QString::fromUtf8(docs()))) + '/';
        BackupCatalog catalog;
        catalog.update({ archive }, root, [] { return false; });
        RestoreSource source { archive, {} };
        for (const std::uint32_t id : catalog.archives().front().entries) {
            const QByteArray& relative = catalog.path(catalog.version(id).path);
            if (relative.startsWith(only))
                source.items.push_back({ catalog.archives().front().root + relative, relative });
        }
        RestoreProgress ownProgress;
        RestoreProgress& used = progress ? *progress : ownProgress;
        const RestorePlan plan
            = PlanRestore({ QStringLiteral("Docs"), QFile::decodeName(target), { source } }, used.cancel);
        return RunRestore(plan, existing, used, m_moment);
    }

    static ino_t inode(const QByteArray& file)
    {
        struct stat st
        {
        };
        ::stat(file.constData(), &st);
        return st.st_ino;
    }

    static QStringList leftovers(const QByteArray& folder)
    {
        QStringList found;
        for (const QByteArray& name : describe(folder).keys()) {
            if (name.contains(".tessaly-restore-"))
                found.append(QString::fromLatin1(name));
        }
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetHistoryFile(m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        m_choices.folders = { QString::fromUtf8(docs()) };
        m_choices.backups = m_dir.path() + QStringLiteral("/Backups");
        QDir().mkpath(m_choices.backups);
    }

    // QDir cannot list names that are not UTF-8, so it cannot remove them either.
    void cleanupTestCase() { std::filesystem::remove_all(m_dir.path().toStdString()); }

    // Contents, permission bits, times and names of any bytes come back exactly, into the folder's
    // own place and into another one.
    void restoresExactlyHereAndElsewhere()
    {
        put(docs() + "/report.txt", "quarterly figures\n", 0640, 1'600'000'000);
        put(docs() + "/run.sh", "#!/bin/sh\necho hi\n", 0755, 1'600'000'100);
        put(docs() + "/caf\xe9 \\ na\xefve.txt", "latin-1 name", 0600, 1'600'000'200);
        put(docs() + "/sub/deep/data.bin", ZipTestTools::randomBytes(300'000, 7), 0644, 1'600'000'301, 123'456'789);
        put(docs() + "/big.log", ZipTestTools::textLike(20 << 20, 3), 0644, 1'600'000'400);
        QDir().mkpath(QString::fromUtf8(docs() + "/empty"));
        ::chmod(QByteArray(docs() + "/sub").constData(), 0750);
        const QMap<QByteArray, QString> original = describe(docs());
        const QString archive = backUp(m_choices, m_moment);
        QVERIFY(!archive.isEmpty());

        QVERIFY(restore(archive, path("Elsewhere")).sources.front().problems.isEmpty());
        QCOMPARE(describe(path("Elsewhere")), original);

        QDir(QString::fromUtf8(docs())).removeRecursively();
        const RestoreOutcome back = restore(archive, docs());
        QCOMPARE(back.sources.front().restored, 5);
        QCOMPARE(describe(docs()), original);
    }

    // A file that differs is kept under its "before restore" name unless replacing was chosen; one
    // that holds the same data is left as it is.
    void keepsWhatDiffers()
    {
        const QString archive = backUp(m_choices, m_moment.addSecs(60));
        put(docs() + "/report.txt", "edited since", 0640);
        put(docs() + "/notes", "new notes");
        const ino_t before = inode(docs() + "/run.sh");

        for (int round = 1; round <= 2; ++round) {
            const RestoreOutcome outcome = restore(archive, docs());
            QCOMPARE(outcome.sources.front().kept, 1);
            QCOMPARE(ZipTestTools::readFile(QString::fromUtf8(docs() + "/report.txt")),
                     QByteArray("quarterly figures\n"));
            put(docs() + "/report.txt", "edited again", 0640);
        }
        QCOMPARE(ZipTestTools::readFile(QString::fromUtf8(docs() + "/report (before restore 2021-08-31 14-05).txt")),
                 QByteArray("edited since"));
        QCOMPARE(ZipTestTools::readFile(QString::fromUtf8(docs() + "/report (before restore 2021-08-31 14-05 2).txt")),
                 QByteArray("edited again"));
        QCOMPARE(inode(docs() + "/run.sh"), before);
        QCOMPARE(ZipTestTools::readFile(QString::fromUtf8(docs() + "/notes")), QByteArray("new notes"));

        QCOMPARE(restore(archive, docs(), ExistingFiles::Replace).sources.front().kept, 0);
        QCOMPARE(ZipTestTools::readFile(QString::fromUtf8(docs() + "/report.txt")), QByteArray("quarterly figures\n"));
        QVERIFY(!QFile::exists(QString::fromUtf8(docs() + "/report (before restore 2021-08-31 14-05 3).txt")));
    }

    // A damaged entry is named and never written; the others come back.
    void damagedEntryIsReported()
    {
        const QString archive = backUp(m_choices, m_moment.addSecs(120));
        QFile file(archive);
        QVERIFY(file.open(QIODevice::ReadWrite));
        CentralDirectory directory;
        QVERIFY(ReadCentralDirectory(static_cast<int>(file.handle()), directory));
        for (const CentralEntry& entry : directory.entries) {
            std::uint64_t offset = 0;
            QByteArray header;
            if (entry.name.endsWith("data.bin") && LocateEntryData(file.handle(), directory, entry, offset, header)) {
                file.seek(static_cast<qint64>(offset + entry.compressedSize / 2));
                const char byte = file.peek(1).at(0);
                file.write(QByteArray(1, static_cast<char>(~byte)));
            }
        }
        file.close();
        const RestoreOutcome outcome = restore(archive, path("Damaged"));
        QCOMPARE(outcome.sources.front().problems.size(), 1);
        QVERIFY(outcome.sources.front().problems.front().startsWith(QStringLiteral("sub/deep/data.bin: ")));
        QVERIFY(!QFile::exists(QString::fromUtf8(path("Damaged/sub/deep/data.bin"))));
        QVERIFY(QFile::exists(QString::fromUtf8(path("Damaged/big.log"))));
        QCOMPARE(leftovers(path("Damaged")), QStringList());
    }

    // Names that climb out, absolute names, Windows separators, link entries, a link on the disk
    // and sizes that lie never put a byte outside the target.
    void hostileArchiveStaysInside()
    {
        const QString archive = m_dir.path() + QStringLiteral("/hostile.zip");
        QProcess python;
        python.start(
            QStringLiteral("python3"),
            { qEnvironmentVariable("TESSALY_SOURCE_DIR") + QStringLiteral("/tests/restore/hostile.py"), archive });
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        QDir().mkpath(QString::fromUtf8(path("Hostile")));
        QDir().mkpath(QString::fromUtf8(path("Outside")));
        QVERIFY(QFile::link(QString::fromUtf8(path("Outside")), QString::fromUtf8(path("Hostile/linked"))));

        BackupCatalog catalog;
        catalog.update({ archive }, "nowhere/", [] { return false; });
        RestoreSource source { archive, {} };
        for (const std::uint32_t id : catalog.archives().front().entries)
            source.items.push_back({ catalog.path(catalog.version(id).path), catalog.path(catalog.version(id).path) });
        RestoreProgress progress;
        const RestorePlan plan
            = PlanRestore({ QStringLiteral("x"), QFile::decodeName(path("Hostile")), { source } }, progress.cancel);
        const RestoreOutcome outcome = RunRestore(plan, ExistingFiles::Keep, progress, m_moment);

        QCOMPARE(describe(path("Outside")), (QMap<QByteArray, QString>()));
        const QByteArrayList written = describe(path("Hostile")).keys();
        QCOMPARE(written,
                 QByteArrayList(
                     { "C__x.txt", "a_.._.._b.txt", "abs", "abs/x.txt", "link", "link/passwd", "linked", "ok.txt" }));
        const QString problems = outcome.sources.front().problems.join(u'\n');
        for (const char* refused : { "../evil.txt: ", "link: it is a link", "linked/x.txt: ", "lie.txt: " })
            QVERIFY2(problems.contains(QLatin1String(refused)), qPrintable(problems));
        QCOMPARE(outcome.sources.front().problems.size(), 4);
    }

    // A cancelled restore leaves no file half written under any name.
    void cancelLeavesNothingHalfWritten()
    {
        put(docs() + "/huge.log", ZipTestTools::textLike(160 << 20, 9));
        const QString archive = backUp(m_choices, m_moment.addSecs(180));
        RestoreProgress progress;
        std::thread canceller([&] {
            while (progress.written == 0)
                std::this_thread::yield();
            progress.cancel = true;
        });
        const RestoreOutcome outcome = restore(archive, path("Cancelled"), ExistingFiles::Keep, "huge.log", &progress);
        canceller.join();
        QVERIFY(outcome.cancelled);
        QVERIFY(!QFile::exists(QString::fromUtf8(path("Cancelled/huge.log"))));
        QCOMPARE(leftovers(path("Cancelled")), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRestore)
#include "TestRestore.moc"
