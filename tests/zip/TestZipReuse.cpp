// Repeat backups: the data of files unchanged since the previous archive is copied from it, while
// every file that may have changed is read and compressed again, and only data this user's program
// recorded is ever copied. Which files the engine opens is watched with inotify; disks that fail or
// are slow are played by a FUSE file system (faultfs.py); every archive is read back by Python's
// zipfile, unzip and 7-Zip.
#include "ZipTestTools.h"
#include "zip/EntryRecord.h"
#include "zip/ZipFileSet.h"
#include "zip/ZipJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace ZipTestTools;

namespace {

// The names of the files (not folders) opened in the watched folders from now on.
class OpenWatch
{
public:
    explicit OpenWatch(const QStringList& folders)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const QString& folder : folders)
            ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_OPEN);
    }
    ~OpenWatch() { ::close(m_fd); }

    QSet<QString> opened()
    {
        QSet<QString> names;
        alignas(inotify_event) char buffer[64 * 1024];
        ssize_t n = 0;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                if (event->len > 0 && !(event->mask & IN_ISDIR))
                    names.insert(QString::fromUtf8(event->name));
                at += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

private:
    int m_fd;
};

ino_t inodeOf(const QString& path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// Rewrites the file with other bytes of the same size and puts its modification time back, as a
// restore or "touch -d" would: only its change time tells.
void rewriteKeepingTime(const QString& path)
{
    struct stat before
    {
    };
    ::stat(QFile::encodeName(path).constData(), &before);
    QByteArray bytes = readFile(path);
    for (char& c : bytes)
        c = c == 'x' ? 'y' : 'x';
    writeFile(path, bytes);
    const timespec times[2] = { before.st_atim, before.st_mtim };
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

// A file changed this long before a run may be copied by the next one: its change time lies before
// the run read it, by more than the engine's margin.
void letChangesAge()
{
    QTest::qSleep(2200);
}

} // namespace

class TestZipReuse : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_tree;
    QStringList m_patterns;

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    void makeTree()
    {
        m_tree = path(QStringLiteral("tree"));
        QDir(m_tree).removeRecursively();
        writeFile(m_tree + QStringLiteral("/a.txt"), textLike(300'000, 1));
        writeFile(m_tree + QStringLiteral("/big.txt"), textLike(9'000'000, 2)); // compressed in pieces
        writeFile(m_tree + QStringLiteral("/random.bin"), randomBytes(200'000, 3));
        writeFile(m_tree + QStringLiteral("/sub/c.txt"), textLike(5'000, 4));
        writeFile(m_tree + QStringLiteral("/sub/empty"), {});
        m_patterns = QStringList { m_tree + QStringLiteral("/*.*"), m_tree + QStringLiteral("/sub/*.*") };
    }

    // The archive holds these files with these SHA-1s (by default the tree's as they are now), and
    // every reader accepts it.
    void verify(const QString& archive, QMap<QString, QByteArray> sha1s = {})
    {
        for (const QString& name : { QStringLiteral("a.txt"), QStringLiteral("big.txt"), QStringLiteral("random.bin"),
                                     QStringLiteral("sub/c.txt"), QStringLiteral("sub/empty") }) {
            if (sha1s.isEmpty() || name == QStringLiteral("sub/empty"))
                sha1s.insert(m_tree + u'/' + name, sha1OfFile(m_tree + u'/' + name));
        }
        QString error;
        const auto entries = readWithPython(archive, &error);
        QVERIFY2(!entries.isEmpty(), qPrintable(error));
        for (auto it = sha1s.cbegin(); it != sha1s.cend(); ++it)
            QCOMPARE(entries.value(it.key().mid(1)).sha1, it.value());
        QVERIFY2(unzipAccepts(archive, &error), qPrintable(error));
        QVERIFY2(sevenZipAccepts(archive, &error), qPrintable(error));
    }

    int makeZipFrom(const QString& archive, const QString& reuseFrom, QStringList patterns = {},
                    QString* message = nullptr)
    {
        ZipFileSet zip;
        zip.setZipFileName(archive);
        zip.setReuseFrom(reuseFrom);
        for (const QString& pattern : patterns.isEmpty() ? m_patterns : patterns)
            zip.addFile(pattern);
        const int result = zip.makeZipFile();
        if (message)
            *message = zip.lastMessage();
        return result;
    }

private Q_SLOTS:
    // Records count as settled two seconds after the file's last change, not two minutes.
    void init() { SetRecordAges({ 2'000'000'000, 3600ll * 1'000'000'000 }); }

    void onlyFilesThatMayHaveChangedAreReadAgain()
    {
        makeTree();
        letChangesAge();
        const QString archive = path(QStringLiteral("same.zip"));
        QCOMPARE(makeZip(archive, m_patterns), 0);
        const QString watched = m_tree + QStringLiteral("/sub");
        OpenWatch watch({ m_tree, watched });

        // Same size, same modification time, new contents.
        rewriteKeepingTime(m_tree + QStringLiteral("/sub/c.txt"));
        watch.opened();
        QCOMPARE(makeZip(archive, m_patterns), 0);
        QCOMPARE(watch.opened(), QSet<QString> { QStringLiteral("c.txt") });
        verify(archive);
        watch.opened(); // the reads of the check above

        // Changed just before that run: not yet proof for the next one.
        QCOMPARE(makeZip(archive, m_patterns), 0);
        QCOMPARE(watch.opened(), QSet<QString> { QStringLiteral("c.txt") });

        // Nothing changed since: the archive already holds what a new one would, and stays.
        letChangesAge();
        QCOMPARE(makeZip(archive, m_patterns), 0);
        watch.opened();
        const ino_t kept = inodeOf(archive);
        QCOMPARE(makeZip(archive, m_patterns), 0);
        QCOMPARE(watch.opened(), QSet<QString> {});
        QCOMPARE(inodeOf(archive), kept);
        verify(archive);
        watch.opened();

        // A new archive name (time stamps) takes the data from the one named as the latest.
        const QString next = path(QStringLiteral("next.zip"));
        QCOMPARE(makeZipFrom(next, archive), 0);
        QCOMPARE(watch.opened(), QSet<QString> {});
        verify(next);
    }

    void aDoubtfulEarlierArchiveIsNeverTrusted()
    {
        makeTree();
        letChangesAge();
        const QString good = path(QStringLiteral("good.zip"));
        QCOMPARE(makeZip(good, m_patterns), 0);
        const QByteArray goodBytes = readFile(good);

        // Its directory cut short.
        const QString cut = path(QStringLiteral("cut.zip"));
        writeFile(cut, goodBytes.left(goodBytes.size() - 30));
        QCOMPARE(makeZip(cut, m_patterns), 0);
        verify(cut);

        // Data that no longer matches its record, in a directory that looks sound.
        const QString damaged = path(QStringLiteral("damaged.zip"));
        QByteArray bytes = goodBytes;
        const qsizetype at = bytes.indexOf(QByteArray("big.txt")) + 7 + 100'000;
        bytes[at] = static_cast<char>(bytes.at(at) ^ 0x55);
        writeFile(damaged, bytes);
        QString message;
        QCOMPARE(makeZip(damaged, m_patterns, &message), 0);
        QCOMPARE(message,
                 QStringLiteral("the earlier archive %1 holds data that does not match its record; the files "
                                "concerned were compressed afresh\n")
                     .arg(damaged));
        verify(damaged);

        // Written by another tool: nothing of ours to go by.
        const QString foreign = path(QStringLiteral("foreign.zip"));
        QProcess zip;
        zip.setWorkingDirectory(QStringLiteral("/"));
        zip.start(QStringLiteral("zip"), { QStringLiteral("-r"), QStringLiteral("-q"), foreign, m_tree.mid(1) });
        QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
        QCOMPARE(makeZip(foreign, m_patterns), 0);
        verify(foreign);
    }

    void changesThatLeaveTheTimesAloneAreCaughtInBoundedTime()
    {
        // A file in memory (tmpfs) changed through a shared mapping: its times never move.
        QTemporaryDir memory(QStringLiteral("/dev/shm/tessaly-test-XXXXXX"));
        QVERIFY(memory.isValid());
        const QString file = memory.filePath(QStringLiteral("mapped.db"));
        writeFile(file, textLike(64 * 1024, 8));
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR);
        auto* pages = static_cast<char*>(::mmap(nullptr, 64 * 1024, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        QVERIFY(pages != MAP_FAILED);
        const QString archive = path(QStringLiteral("mapped.zip"));
        const QStringList patterns { memory.path() + QStringLiteral("/*.*") };
        const auto writeThroughMapping = [&](char c) { std::memset(pages + 1000, c, 3000); };
        const auto stored = [&] { return readWithPython(archive, nullptr).value(file.mid(1)).sha1; };

        // Changed a few seconds after a run that read it soon after its last visible change (the
        // first write to the mapped page moved its times, no later one does).
        SetRecordAges({ 60'000'000'000, 3600ll * 1'000'000'000 });
        writeThroughMapping('x');
        letChangesAge();
        QCOMPARE(makeZip(archive, patterns), 0);
        writeThroughMapping('a');
        QCOMPARE(makeZip(archive, patterns), 0);
        QCOMPARE(stored(), sha1OfFile(file));

        // Changed after a run that found it long settled: caught once the record is old enough.
        SetRecordAges({ 2'000'000'000, 3'000'000'000 });
        QCOMPARE(makeZip(archive, patterns), 0);
        writeThroughMapping('b');
        QTest::qSleep(3200);
        QCOMPARE(makeZip(archive, patterns), 0);
        QCOMPARE(stored(), sha1OfFile(file));
        ::munmap(pages, 64 * 1024);
        ::close(fd);
    }

    void onlyRecordsOfThisUsersProgramAreTrusted()
    {
        makeTree();
        letChangesAge();
        const QString good = path(QStringLiteral("good.zip"));
        QCOMPARE(makeZip(good, m_patterns), 0);
        // The key that signs them lives in the settings folder, for this user alone.
        struct stat key
        {
        };
        QCOMPARE(
            ::stat(QFile::encodeName(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quarnell/Tessaly.key"))
                       .constData(),
                   &key),
            0);
        QCOMPARE(key.st_mode & 0777, 0600u);

        // One bit of a file's CRC flipped in the directory only: the next archive takes the CRC
        // from its own record, and every reader accepts it.
        const QString target = m_tree + QStringLiteral("/a.txt");
        QByteArray bytes = readFile(good);
        const qsizetype central
            = bytes.lastIndexOf(QByteArray("PK\x01\x02", 4), bytes.indexOf(target.mid(1).toUtf8(), bytes.size() / 2));
        bytes[central + 16] = static_cast<char>(bytes.at(central + 16) ^ 0x01);
        const QString flipped = path(QStringLiteral("flipped.zip"));
        writeFile(flipped, bytes);
        QVERIFY(unzipAccepts(flipped));
        QCOMPARE(makeZipFrom(path(QStringLiteral("after-flip.zip")), flipped), 0);
        verify(path(QStringLiteral("after-flip.zip")));

        // A hand-made earlier archive: another content under the file's name, its record saying
        // what the file looks like now.
        const QByteArray real = readFile(target);
        QByteArray other = real;
        other.replace("the", "THE");
        writeFile(target, other);
        letChangesAge();
        const QString planted = path(QStringLiteral("planted.zip"));
        QCOMPARE(makeZip(planted, m_patterns), 0);
        writeFile(target, real);
        struct stat now
        {
        };
        ::stat(QFile::encodeName(target).constData(), &now);
        bytes = readFile(planted);
        const qsizetype entry
            = bytes.indexOf(target.mid(1).toUtf8(), bytes.lastIndexOf(QByteArray("PK\x05\x06", 4)) - bytes.size() / 2);
        const qsizetype record = bytes.indexOf(QByteArray("\x54\x74", 2), entry) + 4 + 1;
        for (const auto& [at, value] :
             { std::pair { 0, std::uint64_t(now.st_size) },
               std::pair { 8, std::uint64_t(now.st_mtim.tv_sec * 1'000'000'000ll + now.st_mtim.tv_nsec) },
               std::pair { 16, std::uint64_t(now.st_ctim.tv_sec * 1'000'000'000ll + now.st_ctim.tv_nsec) },
               std::pair { 24, std::uint64_t(now.st_ino) } }) {
            for (int i = 0; i < 8; ++i)
                bytes[record + at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        writeFile(planted, bytes);
        letChangesAge();
        const QString next = path(QStringLiteral("next.zip"));
        QCOMPARE(makeZipFrom(next, planted), 0);
        verify(next);
    }

    void anEarlierArchiveCostsNoMoreThanItHolds()
    {
        // A sparse file claiming a directory of 1 GiB and 23 million entries.
        makeTree();
        const QString odd = path(QStringLiteral("odd.zip"));
        constexpr std::uint64_t DirectorySize = 1ull << 30;
        constexpr std::uint64_t Count = 23'000'000;
        QByteArray tail;
        const auto put = [&tail](std::uint64_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                tail.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        put(0x06064b50, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4);
        put(Count, 8), put(Count, 8), put(DirectorySize, 8), put(0, 8);
        put(0x07064b50, 4), put(0, 4), put(DirectorySize, 8), put(1, 4);
        put(0x06054b50, 4), put(0, 2), put(0, 2), put(0xFFFF, 2), put(0xFFFF, 2), put(0xFFFFFFFF, 4),
            put(0xFFFFFFFF, 4), put(0, 2);
        QFile file(odd);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.seek(static_cast<qint64>(DirectorySize)));
        file.write(tail);
        file.close();
        const auto bytesRead = [] {
            QFile io(QStringLiteral("/proc/self/io"));
            io.open(QIODevice::ReadOnly);
            for (const QByteArray& line : io.readAll().split('\n')) {
                if (line.startsWith("rchar: "))
                    return line.mid(7).toLongLong();
            }
            return 0ll;
        };
        const qint64 before = bytesRead();
        QCOMPARE(makeZip(odd, m_patterns), 0);
        QVERIFY2(bytesRead() - before < 64ll << 20, qPrintable(QString::number(bytesRead() - before)));
        verify(odd);
    }

    // A disk that fails or is slow, played by a FUSE file system.
    void readErrorsInTheEarlierArchiveMeanCompressingAfresh()
    {
        if (const QString why = FaultMount::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        makeTree();
        letChangesAge();
        QDir().mkpath(path(QStringLiteral("Backups")));
        QCOMPARE(makeZip(path(QStringLiteral("Backups/tree.zip")), m_patterns), 0);
        // A block in the middle of the earlier archive, inside the big file's data, fails to read.
        const qint64 middle = QFileInfo(path(QStringLiteral("Backups/tree.zip"))).size() / 2;
        FaultMount disk(path(QStringLiteral("Backups")), path(QStringLiteral("Disk")),
                        { QStringLiteral("--eio"), QStringLiteral("tree.zip:%1:%2").arg(middle).arg(middle + 1) });
        QVERIFY(disk.mounted());
        const QString earlier = path(QStringLiteral("Disk/tree.zip"));
        QString message;
        QCOMPARE(makeZipFrom(path(QStringLiteral("tree 2.zip")), earlier, {}, &message), 0);
        QCOMPARE(message,
                 QStringLiteral("the earlier archive %1 could not be read: Input/output error; the files concerned "
                                "were compressed afresh\n")
                     .arg(earlier));
        verify(path(QStringLiteral("tree 2.zip")));
    }

    void filesThatCannotBeReadNowAreKeptFromTheEarlierArchive()
    {
        if (const QString why = FaultMount::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        // The tree seen through a disk that fails; one of its files' permissions taken away.
        makeTree();
        const QString disk = path(QStringLiteral("TreeDisk"));
        const QString closed = m_tree + QStringLiteral("/a.txt");
        const QString failing = disk + QStringLiteral("/big.txt");
        const QStringList patterns { disk + QStringLiteral("/*.*"), closed };
        const QString archive = path(QStringLiteral("kept.zip"));
        const QByteArray before = sha1OfFile(closed);
        const QByteArray failingBefore = sha1OfFile(m_tree + QStringLiteral("/big.txt"));
        {
            FaultMount mount(m_tree, disk, {});
            QVERIFY(mount.mounted());
            QCOMPARE(makeZipFrom(archive, {}, patterns), 0);
        }
        writeFile(closed, textLike(300'000, 5));
        writeFile(m_tree + QStringLiteral("/big.txt"), textLike(9'000'000, 6));
        QVERIFY(QFile::setPermissions(closed, {}));
        FaultMount mount(m_tree, disk, { QStringLiteral("--eio"), QStringLiteral("big.txt") });
        QVERIFY(mount.mounted());
        QString message;
        for (int run = 0; run < 2; ++run) { // kept again from the archive that kept them
            QCOMPARE(makeZipFrom(archive, {}, patterns, &message), ZipCode::FilesKept);
            QCOMPARE(message,
                     QStringLiteral("could not read now, kept as it was in %1: %2: Permission denied\n"
                                    "could not read now, kept as it was in %1: %3: Input/output error\n")
                         .arg(archive, closed, failing));
            const auto entries = readWithPython(archive, nullptr);
            QCOMPARE(entries.value(closed.mid(1)).sha1, before);
            QCOMPARE(entries.value(failing.mid(1)).sha1, failingBefore);
        }
        QVERIFY(unzipAccepts(archive) && sevenZipAccepts(archive));
    }

    void aLongWriteReadHalfWayIsReadAgain()
    {
        if (const QString why = FaultMount::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        // One write() of 16 MiB whose source pages come from a slow disk: the file's times are set
        // when it begins, and a run reads the file while it goes on.
        SetRecordAges({ 60'000'000'000, 3600ll * 1'000'000'000 });
        makeTree();
        const QString target = m_tree + QStringLiteral("/big.txt");
        constexpr qsizetype Size = 16 << 20;
        writeFile(target, textLike(Size, 6));
        writeFile(path(QStringLiteral("Source/fresh.bin")), textLike(Size, 7));
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
        const QString archive = path(QStringLiteral("slow.zip"));
        QCOMPARE(makeZip(archive, m_patterns), 0);
        // That run stored the file as it was half way through the write.
        QVERIFY(readWithPython(archive, nullptr).value(target.mid(1)).sha1
                != sha1OfFile(path(QStringLiteral("Source/fresh.bin"))));
        writer.join();
        ::munmap(pages, Size);
        ::close(fd);
        ::close(source);
        // The file's times did not move since that run; its bytes did.
        QCOMPARE(makeZip(archive, m_patterns), 0);
        verify(archive);
    }

    // Any program may date a file after 2262, beyond nanoseconds in 64 bits: it is archived and
    // its data reused like any other.
    void filesDatedBeyondTheNanosecondRangeAreReused()
    {
        makeTree();
        const timespec year2318[2] = { { 11'000'000'000, 0 }, { 11'000'000'000, 0 } };
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(m_tree + QStringLiteral("/a.txt")).constData(), year2318, 0),
                 0);
        letChangesAge();
        const QString archive = path(QStringLiteral("dated.zip"));
        QCOMPARE(makeZip(archive, m_patterns), 0);
        OpenWatch watch({ m_tree });
        QCOMPARE(makeZip(archive, m_patterns), 0);
        QVERIFY(!watch.opened().contains(QStringLiteral("a.txt")));
        verify(archive);
    }

    // A clock set centuries wrong gives times at the ends of the range: ages are still told right.
    void recordAgesHoldAtTheEndsOfTime()
    {
        constexpr std::int64_t earliest = std::numeric_limits<std::int64_t>::min();
        constexpr std::int64_t latest = std::numeric_limits<std::int64_t>::max();
        EntryRecord record;
        record.evidenceTrusted = true;
        record.evidence.ctimeNs = earliest;
        record.readAtNs = latest;
        QVERIFY(record.settledAt(latest));
        QVERIFY(!record.trustedWithoutReading(earliest));
        QVERIFY(!record.trustedWithoutReading(latest - 1)); // read after now
        record.evidence.ctimeNs = latest;
        QVERIFY(!record.settledAt(earliest));
    }
};

int main(int argc, char** argv)
{
    dropFileCapabilities();
    QCoreApplication app(argc, argv);
    TestZipReuse test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestZipReuse.moc"
