// A backup run whose previous archive was damaged or forged on disk: each run ends, costs no more
// memory than the files need, takes from the old archive only what its records vouch for, and the
// new archive holds the folder as it is, as Python's zipfile, unzip and 7-Zip read it.
#include "ZipTestTools.h"
#include "backup/BackupRun.h"
#include "backup/TestClock.h"
#include "folders/FolderListView.h"
#include "support/WindowTest.h"
#include "window/RunAdapters.h"
#include "zip/EntryRecord.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/resource.h>

using namespace ZipTestTools;

namespace {

quint64 number(const QByteArray& bytes, qsizetype at, int size)
{
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(bytes.at(at + i));
    return value;
}

void put(QByteArray& bytes, qsizetype at, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

QByteArray numberBytes(quint64 value, int size)
{
    QByteArray bytes(size, '\0');
    put(bytes, 0, value, size);
    return bytes;
}

// Where the central directory, its entries and its end record lie in an archive without ZIP64.
struct Layout
{
    qsizetype end = -1;
    qsizetype directory = 0;
    QList<qsizetype> entries;

    explicit Layout(const QByteArray& zip)
        : end(zip.lastIndexOf(QByteArray("PK\x05\x06")))
    {
        directory = static_cast<qsizetype>(number(zip, end + 16, 4));
        for (qsizetype at = directory; at < end;
             at += 46 + number(zip, at + 28, 2) + number(zip, at + 30, 2) + number(zip, at + 32, 2)) {
            entries.append(at);
        }
    }
    qsizetype entry(int i) const { return entries.at(i); }
};

qint64 peakMemoryKb()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestHostilePreviousArchive : public WindowTest
{
    Q_OBJECT

    QTemporaryDir m_files;
    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<MainWindow> m_window;

    QString folder() const { return m_files.path() + QStringLiteral("/Src/Documents"); }
    QString archive() const { return m_files.path() + QStringLiteral("/Backups/Backup Documents.zip"); }

    void runBackup()
    {
        const ControlsBackupChoices choices(m_window->controls());
        StatusFrameLine status(*m_window->controls().statusFrame);
        RunBackup(choices, status, true);
    }

    // The archive holds the folder's files as they are, and every reader accepts it.
    void verifyArchive(const QString& damage)
    {
        QString error;
        const QMap<QString, ReadEntry> entries = readWithPython(archive(), &error);
        QVERIFY2(!entries.isEmpty(), qPrintable(damage + u' ' + error));
        QStringList files;
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            if (it->isDir)
                continue;
            files.append(it.key());
            QVERIFY2(it->sha1 == sha1OfFile(u'/' + it.key()), qPrintable(damage + u' ' + it.key()));
        }
        QCOMPARE(files.size(), 5);
        QVERIFY2(unzipAccepts(archive(), &error), qPrintable(damage + u' ' + error));
        QVERIFY2(sevenZipAccepts(archive(), &error), qPrintable(damage + u' ' + error));
    }

    // Python's zipfile adds an entry with a name of 65,535 bytes, keeping the others and their fields.
    static void addLongName(QByteArray& zip)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.zip"));
        writeFile(path, zip);
        QProcess python;
        python.start(QStringLiteral("python3"),
                     { QStringLiteral("-c"),
                       QStringLiteral("import sys, zipfile\n"
                                      "with zipfile.ZipFile(sys.argv[1], 'a') as z: z.writestr('n' * 65535, b'x')"),
                       path });
        QVERIFY(python.waitForFinished(60000) && python.exitCode() == 0);
        zip = readFile(path);
    }

    // A ZIP64 end record and locator before the end record, which then defers to them.
    static void addZip64End(QByteArray& zip, quint64 count, quint64 directory)
    {
        const Layout layout(zip);
        const QByteArray size = numberBytes(static_cast<quint64>(layout.end - layout.directory), 8);
        const QByteArray record = numberBytes(0x06064b50, 4) + numberBytes(44, 8) + numberBytes(45, 2)
            + numberBytes(45, 2) + numberBytes(0, 8) + numberBytes(count, 8) + numberBytes(count, 8) + size
            + numberBytes(directory, 8);
        const QByteArray locator = numberBytes(0x07064b50, 4) + numberBytes(0, 4)
            + numberBytes(static_cast<quint64>(layout.end), 8) + numberBytes(1, 4);
        zip.insert(layout.end, record + locator);
        const qsizetype end = layout.end + record.size() + locator.size();
        put(zip, end + 8, 0xFFFF, 2);
        put(zip, end + 10, 0xFFFF, 2);
        put(zip, end + 12, 0xFFFFFFFF, 4);
        put(zip, end + 16, 0xFFFFFFFF, 4);
    }

private Q_SLOTS:
    void init()
    {
        beginTest();
        // Records count as settled two seconds after a file's last change.
        SetRecordAges({ 2'000'000'000, 3600ll * 1'000'000'000 });
        m_clock = std::make_unique<TestClock>(QDateTime(QDate(2021, 8, 31), QTime(14, 5)));
        m_window = std::make_unique<MainWindow>();
        QVERIFY(QDir().mkpath(QFileInfo(archive()).path()));
        m_window->controls().backupFolderEdit->setText(QFileInfo(archive()).path());
        m_window->controls().prefixEdit->setText(QStringLiteral("Backup"));
        m_window->controls().dateStampBox->setChecked(false);
        m_window->controls().timeStampBox->setChecked(false);
        m_window->controls().folderList->appendEntry(folder());
    }

    void cleanup()
    {
        m_window.reset();
        m_clock.reset();
        endTest();
    }

    void eachDamagedPreviousArchiveGivesARightNewOne()
    {
        writeFile(folder() + QStringLiteral("/a.txt"), textLike(300'000, 1));
        writeFile(folder() + QStringLiteral("/big.txt"), textLike(3'000'000, 2));
        writeFile(folder() + QStringLiteral("/random.bin"), randomBytes(100'000, 3));
        writeFile(folder() + QStringLiteral("/Sub/c.txt"), textLike(5'000, 4));
        writeFile(folder() + QStringLiteral("/Sub/empty"), {});
        QTest::qSleep(2200); // the files' changes settle, so their records are trusted
        runBackup();
        verifyArchive(QStringLiteral("first run"));
        const QByteArray good = readFile(archive());
        const Layout at(good);
        QVERIFY(at.end > 0 && at.entries.size() >= 5);
        const qsizetype size = good.size();

        using Damage = std::function<void(QByteArray&)>;
        const QList<std::pair<QString, Damage>> damages {
            { QStringLiteral("cut in the data"), [&](QByteArray& z) { z.truncate(size / 2); } },
            { QStringLiteral("cut in the directory"), [&](QByteArray& z) { z.truncate(at.entry(2) + 10); } },
            { QStringLiteral("compressed size lies"), [&](QByteArray& z) { put(z, at.entry(1) + 20, 0xFFFFFFFE, 4); } },
            { QStringLiteral("size lies"), [&](QByteArray& z) { put(z, at.entry(1) + 24, 12345, 4); } },
            { QStringLiteral("count lies"),
              [&](QByteArray& z) { put(z, at.end + 8, 0xFFFE, 2), put(z, at.end + 10, 0xFFFE, 2); } },
            { QStringLiteral("directory size lies"), [&](QByteArray& z) { put(z, at.end + 12, 0xFFFFFFF0, 4); } },
            { QStringLiteral("offset past the end"), [&](QByteArray& z) { put(z, at.entry(0) + 42, size + 4096, 4); } },
            { QStringLiteral("entries overlap"),
              [&](QByteArray& z) { put(z, at.entry(1) + 42, number(z, at.entry(0) + 42, 4), 4); } },
            { QStringLiteral("entry in the directory"),
              [&](QByteArray& z) { put(z, at.entry(0) + 42, static_cast<quint64>(at.directory), 4); } },
            { QStringLiteral("entry at its own header"),
              [&](QByteArray& z) { put(z, at.entry(2) + 42, static_cast<quint64>(at.entry(2)), 4); } },
            { QStringLiteral("ZIP64 count lies"),
              [&](QByteArray& z) { addZip64End(z, 1ull << 40, static_cast<quint64>(at.directory)); } },
            { QStringLiteral("ZIP64 directory past the end"), [&](QByteArray& z) { addZip64End(z, 5, 1ull << 62); } },
            { QStringLiteral("name length lies"), [&](QByteArray& z) { put(z, at.entry(0) + 28, 0xFFFF, 2); } },
            { QStringLiteral("name of 65,535 bytes"), [&](QByteArray& z) { addLongName(z); } },
        };
        const qint64 memoryBefore = peakMemoryKb();
        for (const auto& [name, damage] : damages) {
            QByteArray bytes = good;
            damage(bytes);
            writeFile(archive(), bytes);
            runBackup();
            verifyArchive(name);
        }
        // Nothing an archive claims is allocated: the runs need no more than the files do.
        QVERIFY2(peakMemoryKb() - memoryBefore < 256 * 1024,
                 qPrintable(QString::number(peakMemoryKb() - memoryBefore)));
    }
};

QTEST_MAIN(TestHostilePreviousArchive)
#include "TestHostilePreviousArchive.moc"
