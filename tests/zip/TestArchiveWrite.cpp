// The engine's write path under trouble: other writers of the same archive, names at the length
// limit, temporaries left by killed runs, files that vanish or turn into FIFOs or links after the
// walk, a disk that fails to flush, and damage to the new archive before it replaces the old one.
#include "ZipTestTools.h"
#include "zip/ZipEngine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace ZipTestTools;

namespace {

std::atomic<bool> g_failFlush { false };

// A file that another program rewrites while it is read: each read of it is followed by other
// bytes put in its place (with a new modification time), as many times as asked.
std::atomic<ino_t> g_rewritten { 0 };
std::atomic<int> g_rewritesLeft { 0 };
std::atomic<int> g_rewrites { 0 };

int openDescriptors()
{
    DIR* dir = ::opendir("/proc/self/fd");
    int count = 0;
    while (dir && ::readdir(dir))
        ++count;
    if (dir)
        ::closedir(dir);
    return count;
}

} // namespace

// Every flush of this process goes through here, so a failing disk can be played.
extern "C" int fsync(int fd)
{
    if (g_failFlush) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" ssize_t pread(int fd, void* buffer, size_t size, off_t offset)
{
    const auto got = static_cast<ssize_t>(::syscall(SYS_pread64, fd, buffer, size, offset));
    struct stat st;
    if (g_rewritesLeft > 0 && ::fstat(fd, &st) == 0 && st.st_ino == g_rewritten && g_rewritesLeft-- > 0) {
        const int writer = ::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_WRONLY);
        const int round = ++g_rewrites;
        const std::string bytes(static_cast<std::size_t>(st.st_size), static_cast<char>('a' + round % 26));
        ::pwrite(writer, bytes.data(), bytes.size(), 0);
        const timespec times[2] = { { 0, UTIME_OMIT }, { 1'600'000'000 + round, 0 } };
        ::futimens(writer, times);
        ::close(writer);
    }
    return got;
}

class TestArchiveWrite : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    void expectEntries(const QString& archive, const QStringList& relativeFiles)
    {
        QStringList expected;
        for (const QString& file : relativeFiles)
            expected.append(path(file).mid(1));
        QString error;
        const auto entries = readWithPython(archive, &error);
        QCOMPARE(entries.keys(), expected);
        for (const QString& file : relativeFiles)
            QCOMPARE(entries.value(path(file).mid(1)).sha1, sha1OfFile(path(file)));
        QVERIFY(unzipAccepts(archive));
        QVERIFY(sevenZipAccepts(archive));
    }

private Q_SLOTS:
    void cleanup()
    {
        SetZipStageProbe({});
        g_failFlush = false;
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void temporariesBelongToOneRunAndOnlyDeadOnesAreSwept()
    {
        writeFile(path(QStringLiteral("Src/a.txt")), textLike(300000, 1));
        writeFile(path(QStringLiteral("Src/b.bin")), randomBytes(6 << 20, 2));
        const QStringList files { QStringLiteral("Src/a.txt"), QStringLiteral("Src/b.bin") };

        // A name at the system's limit still leaves room for the temporary.
        const QString longName = path(QString(251, u'L') + QStringLiteral(".zip"));
        QCOMPARE(makeZip(longName, { path(QStringLiteral("Src/*.*")) }), 0);
        expectEntries(longName, files);

        // Left by killed runs: one of an earlier version (named after an archive with "["), one
        // of ours; one held by a live writer; and a file of someone else's.
        const QString archive = path(QStringLiteral("Photos [2020].zip"));
        const QString archiveNamed = archive + QStringLiteral(".tessaly-tmp");
        const QString dead = path(QStringLiteral(".tessaly-tmp-0123456789ab"));
        const QString live = path(QStringLiteral(".tessaly-tmp-livewriter00"));
        const QString foreign = path(QStringLiteral("Photos [2020].zip.keep"));
        for (const QString& file : { archiveNamed, dead, live, foreign })
            writeFile(file, "left behind");
        const int held = ::open(QFile::encodeName(live).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }), 0);
        expectEntries(archive, files);
        QVERIFY(!QFile::exists(archiveNamed) && !QFile::exists(dead));
        QVERIFY(QFile::exists(live) && QFile::exists(foreign));
        ::close(held);

        // Two writers of the same archive at once: both succeed, and the archive is whole.
        ZipJob job;
        job.archivePath = archive;
        job.names = { path(QStringLiteral("Src/*.*")) };
        std::atomic<int> results[2] = { -1, -1 };
        std::thread first([&] { results[0] = RunZipJob(job, [](const QString&) {}); });
        std::thread second([&] { results[1] = RunZipJob(job, [](const QString&) {}); });
        first.join();
        second.join();
        QCOMPARE(results[0].load(), 0);
        QCOMPARE(results[1].load(), 0);
        expectEntries(archive, files);
        QCOMPARE(temporariesOf(archive), QStringList { foreign });
    }

    void filesThatCannotBeReadAreLeftOutWithoutARewrite()
    {
        const QStringList kept { QStringLiteral("Src/a.txt"), QStringLiteral("Src/z.txt") };
        for (const QString& name : kept)
            writeFile(path(name), textLike(5000, 1));
        for (const char* name : { "gone.txt", "pipe.txt", "linked.txt" })
            writeFile(path(QStringLiteral("Src/") + QLatin1String(name)), textLike(5000, 2));
        writeFile(path(QStringLiteral("outside.txt")), "not part of the folder");
        const QString archive = path(QStringLiteral("src.zip"));
        writeFile(archive, "the previous archive");

        // After the walk: one file vanishes, one becomes a FIFO, one a link to another file.
        int written = 0;
        SetZipStageProbe([&](ZipStage stage, const QString&) {
            if (stage == ZipStage::Written) {
                ++written;
                return;
            }
            QFile::remove(path(QStringLiteral("Src/gone.txt")));
            QFile::remove(path(QStringLiteral("Src/pipe.txt")));
            ::mkfifo(QFile::encodeName(path(QStringLiteral("Src/pipe.txt"))).constData(), 0644);
            QFile::remove(path(QStringLiteral("Src/linked.txt")));
            QFile::link(path(QStringLiteral("outside.txt")), path(QStringLiteral("Src/linked.txt")));
        });
        QString message;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }, &message), ZipCode::FilesSkipped);
        QCOMPARE(written, 1);
        QCOMPARE(message.count(u'\n'), 3);
        QVERIFY2(message.contains(QStringLiteral("could not open for reading: %1: No such file or directory\n")
                                      .arg(path(QStringLiteral("Src/gone.txt")))),
                 qPrintable(message));
        QVERIFY(message.contains(
            QStringLiteral("skipped, not a regular file: %1\n").arg(path(QStringLiteral("Src/pipe.txt")))));
        QVERIFY(message.contains(
            QStringLiteral("skipped, not a regular file: %1\n").arg(path(QStringLiteral("Src/linked.txt")))));
        expectEntries(archive, kept);

        // A disk that fails to flush the new archive: the old one stays, and the run lets go of
        // every file it opened.
        SetZipStageProbe({});
        writeFile(archive, "the previous archive");
        const int before = openDescriptors();
        g_failFlush = true;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/a.txt")) }, &message), ZipCode::WriteError);
        g_failFlush = false;
        QCOMPARE(message, QStringLiteral("write error: %1: Input/output error\n").arg(archive));
        QCOMPARE(readFile(archive), QByteArray("the previous archive"));
        QCOMPARE(temporariesOf(archive), QStringList());
        QCOMPARE(openDescriptors(), before);
    }

    void fileTimesOutsideTheFormatAreClamped()
    {
        const QString early = path(QStringLiteral("Src/1975.txt"));
        const QString late = path(QStringLiteral("Src/2150.txt"));
        writeFile(early, "early");
        writeFile(late, "late");
        for (const auto& [file, when] :
             { std::pair { early, QDate(1975, 6, 15) }, std::pair { late, QDate(2150, 3, 1) } }) {
            QFile handle(file);
            QVERIFY(handle.open(QIODevice::ReadWrite));
            QVERIFY(handle.setFileTime(QDateTime(when, QTime(12, 0)), QFileDevice::FileModificationTime));
        }
        const QString archive = path(QStringLiteral("times.zip"));
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }), 0);
        QProcess python;
        python.start(QStringLiteral("python3"),
                     { QStringLiteral("-c"),
                       QStringLiteral("import sys, zipfile\n"
                                      "for i in zipfile.ZipFile(sys.argv[1]).infolist(): print(i.date_time[:3])"),
                       archive });
        QVERIFY(python.waitForFinished());
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()), QStringLiteral("(1980, 1, 1)\n(2107, 12, 31)\n"));
    }

    void damagedArchiveNeverReplacesTheOldOne()
    {
        const QByteArray noise = randomBytes(3 << 20, 7);
        writeFile(path(QStringLiteral("Src/noise.bin")), noise);
        writeFile(path(QStringLiteral("Src/text.txt")), textLike(9 << 20, 8));
        const QString archive = path(QStringLiteral("src.zip"));
        writeFile(archive, "the previous archive");
        // One byte of the stored data flipped, as a fault in writing or joining would do.
        SetZipStageProbe([&](ZipStage stage, const QString& temporary) {
            if (stage != ZipStage::Written)
                return;
            QByteArray bytes = readFile(temporary);
            const qsizetype at = bytes.indexOf(noise.mid(2 << 20, 64));
            if (at > 0)
                bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
            QFile file(temporary);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        });
        QString message;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }, &message), ZipCode::WriteError);
        QVERIFY2(
            message.startsWith(QStringLiteral("the new archive did not read back intact, %1 was left as it was: %2")
                                   .arg(archive, path(QStringLiteral("Src/noise.bin")).mid(1))),
            qPrintable(message));
        QCOMPARE(readFile(archive), QByteArray("the previous archive"));
        QCOMPARE(temporariesOf(archive), QStringList());
    }

    void everyHeaderByteIsChecked()
    {
        writeFile(path(QStringLiteral("Src/a.txt")), textLike(20000, 1));
        writeFile(path(QStringLiteral("Src/b.txt")), textLike(30000, 2));
        const QString archive = path(QStringLiteral("src.zip"));
        // One bit flipped while writing: the first local header's encrypted and data-descriptor
        // flags, CRC and sizes; the last central header's encrypted flag and version needed
        // (offsets below 0 count from that header).
        std::pair<qsizetype, char> flip;
        SetZipStageProbe([&](ZipStage stage, const QString& temporary) {
            if (stage != ZipStage::Written)
                return;
            QByteArray bytes = readFile(temporary);
            const qsizetype at
                = flip.first >= 0 ? flip.first : bytes.lastIndexOf(QByteArray("PK\x01\x02", 4)) - flip.first;
            bytes[at] = static_cast<char>(bytes.at(at) ^ flip.second);
            writeFile(temporary, bytes);
        });
        for (const auto& at : { std::pair<qsizetype, char> { 6, 0x01 },
                                { 6, 0x08 },
                                { 14, 0x01 },
                                { 18, 0x01 },
                                { 22, 0x01 },
                                { -8, 0x01 },
                                { -6, 0x01 } }) {
            flip = at;
            writeFile(archive, "the previous archive");
            QString message;
            QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }, &message), ZipCode::WriteError);
            QVERIFY2(message.startsWith(QStringLiteral("the new archive did not read back intact")),
                     qPrintable(message));
            QCOMPARE(readFile(archive), QByteArray("the previous archive"));
        }
    }

    // So many entries that the directory goes to a spill file and is read back in several batches:
    // a clean run gives a whole archive, and damage to the very last header is still caught.
    void manyEntriesAreWrittenAndCheckedToTheLast()
    {
        const int count = 5000;
        const QString filler(180, u'x');
        QString last;
        for (int i = 0; i < count; ++i) {
            last = path(QStringLiteral("Src/f%1-%2.txt").arg(i, 5, 10, QLatin1Char('0')).arg(filler));
            writeFile(last, QByteArray::number(i));
        }
        const QString archive = path(QStringLiteral("src.zip"));
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }), ZipCode::Ok);
        QVERIFY(unzipAccepts(archive));
        QCOMPARE(readWithPython(archive, nullptr).size(), count);

        SetZipStageProbe([](ZipStage stage, const QString& temporary) {
            if (stage != ZipStage::Written)
                return;
            QByteArray bytes = readFile(temporary);
            const qsizetype crcAt = bytes.lastIndexOf(QByteArray("PK\x01\x02", 4)) + 16;
            bytes[crcAt] = static_cast<char>(bytes.at(crcAt) ^ 0x01);
            writeFile(temporary, bytes);
        });
        writeFile(last, "changed");
        QString message;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }, &message), ZipCode::WriteError);
        QVERIFY2(message.contains(last.mid(1) + QStringLiteral(": its headers do not match")), qPrintable(message));
        QCOMPARE(readWithPython(archive, nullptr).size(), count);
    }

    void aFileChangedWhileItIsReadIsReadAgain()
    {
        const QString file = path(QStringLiteral("Src/busy.log"));
        writeFile(file, textLike(6 << 20, 3)); // read in pieces
        writeFile(path(QStringLiteral("Src/quiet.txt")), textLike(5000, 4));
        const QString archive = path(QStringLiteral("busy.zip"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(file).constData(), &st), 0);
        g_rewritten = st.st_ino;

        // Rewritten once, during the first read: stored whole, as it is after.
        g_rewritesLeft = 1;
        QString message;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }, &message), 0);
        QCOMPARE(message, QString());
        expectEntries(archive, { QStringLiteral("Src/busy.log"), QStringLiteral("Src/quiet.txt") });

        // Never holding still: stored as last read and said to be so, never as good.
        g_rewritesLeft = 1000;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Src/*.*")) }, &message), ZipCode::FilesKept);
        g_rewritesLeft = 0;
        QCOMPARE(
            message,
            QStringLiteral("changed while it was read, stored as last read, possibly inconsistent: %1\n").arg(file));
        QVERIFY(unzipAccepts(archive));
    }
};

int main(int argc, char** argv)
{
    dropFileCapabilities();
    QCoreApplication app(argc, argv);
    TestArchiveWrite test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestArchiveWrite.moc"
