// Repeat backups on disks that fail or are slow, played by a FUSE file system (faultfs.py): an
// earlier archive with a block that cannot be read, source files that cannot be read now, and a
// long write that a run reads half way. Archives are read back by Python's zipfile, unzip, 7-Zip.
#include "ZipTestTools.h"
#include "zip/EntryRecord.h"
#include "zip/ZipFileSet.h"
#include "zip/ZipJob.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ZipTestTools;

class TestReuseFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    int makeZipFrom(const QString& archive, const QStringList& patterns, const QString& reuseFrom, QString& message)
    {
        ZipFileSet zip;
        zip.setZipFileName(archive);
        zip.setReuseFrom(reuseFrom);
        for (const QString& pattern : patterns)
            zip.addFile(pattern);
        const int result = zip.makeZipFile();
        message = zip.lastMessage();
        return result;
    }

    // The archive holds, by name, the given contents, and every reader accepts it.
    void expectContents(const QString& archive, const QMap<QString, QByteArray>& contents)
    {
        QString error;
        const auto entries = readWithPython(archive, &error);
        QVERIFY2(!entries.isEmpty(), qPrintable(error));
        for (auto it = contents.cbegin(); it != contents.cend(); ++it)
            QCOMPARE(entries.value(it.key().mid(1)).sha1,
                     QCryptographicHash::hash(it.value(), QCryptographicHash::Sha1).toHex());
        QVERIFY2(unzipAccepts(archive, &error), qPrintable(error));
        QVERIFY2(sevenZipAccepts(archive, &error), qPrintable(error));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (const QString why = FaultMount::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        // Records count as settled two seconds after the file's last change.
        SetRecordAges({ 2'000'000'000, 3600ll * 1'000'000'000 });
    }

    void readErrorsInTheEarlierArchiveMeanCompressingAfresh()
    {
        const QString tree = path(QStringLiteral("Tree"));
        const QMap<QString, QByteArray> contents { { tree + QStringLiteral("/big.txt"), textLike(6 << 20, 1) },
                                                   { tree + QStringLiteral("/small.txt"), textLike(4000, 2) } };
        for (auto it = contents.cbegin(); it != contents.cend(); ++it)
            writeFile(it.key(), it.value());
        QDir().mkpath(path(QStringLiteral("Backups")));
        QTest::qSleep(2200);
        QString message;
        QCOMPARE(makeZipFrom(path(QStringLiteral("Backups/Tree.zip")), { tree + QStringLiteral("/*.*") }, {}, message),
                 0);
        // A block in the middle of the earlier archive, inside the big file's data, fails to read.
        const qint64 middle = QFileInfo(path(QStringLiteral("Backups/Tree.zip"))).size() / 2;
        FaultMount disk(path(QStringLiteral("Backups")), path(QStringLiteral("Disk")),
                        { QStringLiteral("--eio"), QStringLiteral("Tree.zip:%1:%2").arg(middle).arg(middle + 1) });
        QVERIFY(disk.mounted());
        const QString earlier = path(QStringLiteral("Disk/Tree.zip"));
        const QString archive = path(QStringLiteral("Tree 2.zip"));
        QCOMPARE(makeZipFrom(archive, { tree + QStringLiteral("/*.*") }, earlier, message), 0);
        QCOMPARE(message,
                 QStringLiteral("the earlier archive %1 could not be read: Input/output error; the files concerned "
                                "were compressed afresh\n")
                     .arg(earlier));
        expectContents(archive, contents);
    }

    void filesThatCannotBeReadNowAreKeptFromTheEarlierArchive()
    {
        // One folder on a disk that fails, one where a file's permissions were taken away.
        const QString folder = path(QStringLiteral("Files"));
        const QString closed = path(QStringLiteral("Plain/closed.txt"));
        const QByteArray before = textLike(300'000, 3);
        writeFile(folder + QStringLiteral("/failing.txt"), before);
        writeFile(closed, before);
        writeFile(folder + QStringLiteral("/fine.txt"), textLike(5000, 4));
        const QString archive = path(QStringLiteral("Files.zip"));
        const QString mountPoint = path(QStringLiteral("FilesDisk"));
        const QStringList patterns { mountPoint + QStringLiteral("/*.*"), path(QStringLiteral("Plain/*.*")) };
        QString message;
        {
            FaultMount disk(folder, mountPoint, {});
            QVERIFY(disk.mounted());
            QCOMPARE(makeZipFrom(archive, patterns, {}, message), 0);
        }
        const QByteArray after = textLike(300'000, 5);
        writeFile(folder + QStringLiteral("/failing.txt"), after);
        writeFile(closed, after);
        QVERIFY(QFile::setPermissions(closed, {}));
        FaultMount disk(folder, mountPoint, { QStringLiteral("--eio"), QStringLiteral("failing.txt") });
        QVERIFY(disk.mounted());
        QCOMPARE(makeZipFrom(archive, patterns, {}, message), ZipCode::FilesKept);
        QCOMPARE(message,
                 QStringLiteral("could not read now, kept as it was in %1: %3: Permission denied\n"
                                "could not read now, kept as it was in %1: %2/failing.txt: Input/output error\n")
                     .arg(archive, mountPoint, closed));
        expectContents(archive, { { mountPoint + QStringLiteral("/failing.txt"), before }, { closed, before } });
        // Kept again from the archive that kept them.
        QCOMPARE(makeZipFrom(archive, patterns, {}, message), ZipCode::FilesKept);
        expectContents(archive, { { mountPoint + QStringLiteral("/failing.txt"), before } });
    }

    void aLongWriteReadHalfWayIsReadAgain()
    {
        // One write() of 16 MiB whose source pages come from a slow disk: the file's times are set
        // when it begins, and a run reads the file while it goes on.
        SetRecordAges({ 60'000'000'000, 3600ll * 1'000'000'000 });
        const QString tree = path(QStringLiteral("Slow"));
        const QString target = tree + QStringLiteral("/data.bin");
        constexpr qsizetype Size = 16 << 20;
        writeFile(target, textLike(Size, 6));
        const QByteArray fresh = textLike(Size, 7);
        writeFile(path(QStringLiteral("Source/fresh.bin")), fresh);
        FaultMount disk(path(QStringLiteral("Source")), path(QStringLiteral("SourceDisk")),
                        { QStringLiteral("--slow"), QStringLiteral("fresh.bin:0.15") });
        QVERIFY(disk.mounted());
        const int source
            = ::open(QFile::encodeName(path(QStringLiteral("SourceDisk/fresh.bin"))).constData(), O_RDONLY);
        void* pages = ::mmap(nullptr, Size, PROT_READ, MAP_SHARED, source, 0);
        QVERIFY(pages != MAP_FAILED);
        const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY);
        std::thread writer([&] { QCOMPARE(::pwrite(fd, pages, Size, 0), static_cast<ssize_t>(Size)); });
        QTest::qSleep(3000);
        const QString archive = path(QStringLiteral("Slow.zip"));
        QString message;
        QCOMPARE(makeZipFrom(archive, { tree + QStringLiteral("/*.*") }, {}, message), 0);
        // That run stored the file as it was half way through the write.
        const auto first = readWithPython(archive, nullptr);
        QVERIFY(first.value(target.mid(1)).sha1 != QCryptographicHash::hash(fresh, QCryptographicHash::Sha1).toHex());
        writer.join();
        ::munmap(pages, Size);
        ::close(fd);
        ::close(source);
        // The file's times did not move since that run; its bytes did.
        QCOMPARE(makeZipFrom(archive, { tree + QStringLiteral("/*.*") }, {}, message), 0);
        expectContents(archive, { { target, fresh } });
    }
};

int main(int argc, char** argv)
{
    dropFileCapabilities();
    QCoreApplication app(argc, argv);
    TestReuseFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestReuseFaults.moc"
