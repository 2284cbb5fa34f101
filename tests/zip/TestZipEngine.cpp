// The archive engine behind ZipFileSet, checked with real files and with readers nobody here
// wrote: Python's zipfile (names, sizes, CRC, contents), unzip -t and 7-Zip.
#include "ZipTestTools.h"
#include "backup/FolderWalk.h"
#include "zip/ZipFileSet.h"
#include "zip/ZipJob.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipTestTools;

class TestZipEngine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    // Stored form of a path below the test folder (absolute paths lose their leading "/").
    QString stored(const QString& relative) const { return path(relative).mid(1); }

    // Every regular file and folder under `folder` that the archive should hold, with the
    // entry name it should carry.
    void expectTree(const QString& folder, QMap<QString, QString>& files, QStringList& folders)
    {
        QDir dir(folder);
        const auto infos = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QFileInfo& info : infos) {
            if (info.isDir()) {
                folders.append(info.absoluteFilePath().mid(1) + u'/');
                expectTree(info.absoluteFilePath(), files, folders);
            } else if (info.isFile()) {
                files.insert(info.absoluteFilePath().mid(1), info.absoluteFilePath());
            }
        }
    }

    // The patterns of a backup run: the folder's own, then one per sub-folder found by its walk.
    static QStringList runPatterns(const QString& folder)
    {
        QStringList subFolders;
        CollectSubFolders(folder + u'/', subFolders, true);
        QStringList patterns { folder + QStringLiteral("/*.*") };
        for (const QString& sub : subFolders)
            patterns.append(sub + QStringLiteral("*.*"));
        return patterns;
    }

    // The archive holds exactly these files and folders, with the sources' contents, and every
    // independent reader accepts it.
    void verifyArchive(const QString& archive, const QMap<QString, QString>& files, const QStringList& folders)
    {
        QString error;
        const QMap<QString, ReadEntry> entries = readWithPython(archive, &error);
        QVERIFY2(!entries.isEmpty(), qPrintable(error));
        for (auto it = files.begin(); it != files.end(); ++it) {
            QVERIFY2(entries.contains(it.key()), qPrintable(it.key()));
            const ReadEntry& entry = entries.value(it.key());
            QVERIFY(!entry.isDir);
            QCOMPARE(entry.size, QFileInfo(it.value()).size());
            QCOMPARE(entry.sha1, sha1OfFile(it.value()));
        }
        for (const QString& folder : folders) {
            QVERIFY2(entries.contains(folder), qPrintable(folder));
            QVERIFY(entries.value(folder).isDir);
        }
        QCOMPARE(entries.size(), files.size() + folders.size());
        QString output;
        QVERIFY2(unzipAccepts(archive, &output), qPrintable(output));
        QVERIFY2(sevenZipAccepts(archive, &output), qPrintable(output));
    }

    static void writeRaw(const QByteArray& file, const QByteArray& bytes)
    {
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
        ::close(fd);
    }

    static QByteArray readRaw(const QByteArray& file)
    {
        QFile in;
        const int fd = ::open(file.constData(), O_RDONLY);
        if (fd < 0 || !in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return "<missing>";
        return in.readAll();
    }

    // Every entry as Python's zipfile reads it, by its stored bytes: UTF-8 flag and content.
    static QMap<QByteArray, std::pair<bool, QByteArray>> rawEntries(const QString& archive)
    {
        QProcess python;
        python.start(QStringLiteral("python3"),
                     { QStringLiteral("-c"), QStringLiteral(R"(import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
for i in z.infolist():
    utf8 = i.flag_bits & 0x800
    print(i.filename.encode('utf-8' if utf8 else 'cp437').hex(), 1 if utf8 else 0, z.read(i).hex())
)"),
                       archive });
        python.waitForFinished(60000);
        QMap<QByteArray, std::pair<bool, QByteArray>> entries;
        for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 3)
                entries.insert(QByteArray::fromHex(f[0]), { f[1] == "1", QByteArray::fromHex(f[2]) });
        }
        return entries;
    }

private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }

    void cleanup()
    {
        // Folders made read-only by a test must be writable again to be removed.
        QDirIterator it(m_dir.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            ::chmod(QFile::encodeName(it.next()).constData(), 0755);
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void mixedTreeAsTheBackupRunPassesIt()
    {
        const QString root = path(QStringLiteral("Docs"));
        writeFile(root + QStringLiteral("/readme.txt"), textLike(5000, 1));
        writeFile(root + QStringLiteral("/empty.txt"), QByteArray());
        writeFile(root + QStringLiteral("/no dot"), textLike(300, 2));
        writeFile(root + QStringLiteral("/photo.jpg"), randomBytes(300000, 3));
        writeFile(root + QStringLiteral("/notes; draft, v2.txt"), textLike(20000, 4));
        writeFile(root + QStringLiteral("/Überweisung März.csv"), textLike(7000, 5));
        writeFile(root + QStringLiteral("/sub/data.csv"), textLike(100000, 6));
        writeFile(root + QStringLiteral("/sub/deeper/log.txt"), textLike(1000, 7));
        // Large enough to be split into pieces compressed side by side.
        writeFile(root + QStringLiteral("/sub/deeper/big.log"), textLike(18 * 1024 * 1024 + 12345, 8));
        QDir().mkpath(root + QStringLiteral("/empty folder"));
        writeFile(root + QStringLiteral("/.hidden/secret.txt"), textLike(100, 9));
        writeFile(root + QStringLiteral("/.profile"), textLike(100, 10));
        writeFile(root + QStringLiteral("/sub/.cache"), textLike(100, 11));

        const QString archive = path(QStringLiteral("out/Docs.zip"));
        QDir().mkpath(path(QStringLiteral("out")));
        QString message;
        const QStringList patterns = runPatterns(root);
        QCOMPARE(makeZip(archive, patterns, &message), 0);
        QCOMPARE(message, QString());

        QMap<QString, QString> files;
        QStringList folders;
        expectTree(root, files, folders);
        QCOMPARE(files.size(), 9);
        QCOMPARE(folders.size(), 3);
        verifyArchive(archive, files, folders);

        const QMap<QString, ReadEntry> entries = readWithPython(archive, nullptr);
        // Hidden names stay out; non-ASCII names carry the UTF-8 flag; modes survive.
        for (const QString& name : entries.keys())
            QVERIFY2(!name.contains(QStringLiteral("/.")), qPrintable(name));
        QVERIFY(entries.value(stored(QStringLiteral("Docs/Überweisung März.csv"))).flags & 0x800);
        QCOMPARE(entries.value(stored(QStringLiteral("Docs/readme.txt"))).mode, 0644);
        QVERIFY(!entries.firstKey().startsWith(u'/'));
        QVERIFY(temporariesOf(archive).isEmpty());
    }

    void largeFilesAreSplitAndJoinedIntoOneStream()
    {
        // Pieces of one file are compressed apart and joined; the joins must hold whatever the
        // pieces hold (compressed text, stored random bytes, runs of zeros) and wherever the file
        // ends (on a piece boundary, one byte after it).
        const qint64 piece = 4 * 1024 * 1024;
        const QString root = path(QStringLiteral("Pieces"));
        const QByteArray text = textLike(piece, 1);
        const QByteArray noise = randomBytes(piece, 2);
        const QByteArray zeros(piece, '\0');
        writeFile(root + QStringLiteral("/text-noise-zeros.dat"), text + noise + zeros);
        writeFile(root + QStringLiteral("/noise-text.dat"), noise + text);
        writeFile(root + QStringLiteral("/exact-two.txt"), text + textLike(piece, 3));
        writeFile(root + QStringLiteral("/one-byte-over.txt"), text + "x");
        writeFile(root + QStringLiteral("/zeros-noise-byte.dat"), zeros + noise + "y");
        const QString archive = path(QStringLiteral("pieces.zip"));
        QCOMPARE(makeZip(archive, { root + QStringLiteral("/*.*") }), 0);
        QMap<QString, QString> files;
        QStringList folders;
        expectTree(root, files, folders);
        QCOMPARE(files.size(), 5);
        verifyArchive(archive, files, folders);
    }

    void patternsThatOverlapGiveOneEntryEach()
    {
        const QString root = path(QStringLiteral("Overlap"));
        writeFile(root + QStringLiteral("/a.txt"), textLike(100, 1));
        writeFile(root + QStringLiteral("/b.dat"), textLike(100, 2));
        writeFile(root + QStringLiteral("/sub/c.txt"), textLike(100, 3));
        const QString archive = path(QStringLiteral("overlap.zip"));
        QCOMPARE(
            makeZip(archive,
                    { root + QStringLiteral("/*.*"), root + QStringLiteral("/a.txt"), root + QStringLiteral("/*.txt"),
                      root + QStringLiteral("/sub/*.*"), root + QStringLiteral("/sub/c.txt") }),
            0);
        QMap<QString, QString> files;
        QStringList folders;
        expectTree(root, files, folders);
        verifyArchive(archive, files, folders);
    }

    void treeWithManySubFolders()
    {
        // More folders than the old fixed name list could take.
        const QString root = path(QStringLiteral("Many"));
        for (int i = 0; i < 150; ++i)
            writeFile(root + QStringLiteral("/f%1/file.txt").arg(i, 3, 10, QLatin1Char('0')),
                      textLike(200 + i, static_cast<quint32>(i)));
        const QStringList patterns = runPatterns(root);
        QCOMPARE(patterns.size(), 151);
        const QString archive = path(QStringLiteral("many.zip"));
        QCOMPARE(makeZip(archive, patterns), 0);
        QMap<QString, QString> files;
        QStringList folders;
        expectTree(root, files, folders);
        QCOMPARE(files.size(), 150);
        verifyArchive(archive, files, folders);
    }

    void readOnlyArchiveIsReplaced()
    {
        const QString root = path(QStringLiteral("Src"));
        writeFile(root + QStringLiteral("/one.txt"), textLike(1000, 1));
        const QString archive = path(QStringLiteral("ro.zip"));
        writeFile(archive, QByteArrayLiteral("an older archive"));
        QVERIFY(QFile::setPermissions(archive, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        QCOMPARE(makeZip(archive, { root + QStringLiteral("/*.*") }), 0);
        QMap<QString, QString> files;
        QStringList folders;
        expectTree(root, files, folders);
        verifyArchive(archive, files, folders);
        QVERIFY(temporariesOf(archive).isEmpty());
    }

    void unwritableBackupFolderKeepsTheOldArchive()
    {
        const QString root = path(QStringLiteral("Src"));
        writeFile(root + QStringLiteral("/one.txt"), textLike(1000, 1));
        const QString folder = path(QStringLiteral("locked"));
        const QString archive = folder + QStringLiteral("/Src.zip");
        writeFile(archive, QByteArrayLiteral("the previous archive"));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QString message;
        const int result = makeZip(archive, { root + QStringLiteral("/*.*") }, &message);
        QVERIFY(result != 0);
        QVERIFY2(message.contains(folder), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("Permission denied")), qPrintable(message));
        QCOMPARE(readFile(archive), QByteArrayLiteral("the previous archive"));
        QVERIFY(temporariesOf(archive).isEmpty());
    }

    void missingFolderLeavesTheOldArchiveAlone()
    {
        const QString archive = path(QStringLiteral("gone.zip"));
        writeFile(archive, QByteArrayLiteral("the previous archive"));
        QString message;
        const int result
            = makeZip(archive, { path(QStringLiteral("NoSuchFolder")) + QStringLiteral("/*.*") }, &message);
        QCOMPARE(result, ZipCode::NothingToDo);
        QVERIFY2(message.contains(QStringLiteral("nothing to do")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("NoSuchFolder")), qPrintable(message));
        QCOMPARE(readFile(archive), QByteArrayLiteral("the previous archive"));

        // A folder that exists but holds only hidden names is nothing to do as well.
        writeFile(path(QStringLiteral("Quiet/.only")), "x");
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Quiet")) + QStringLiteral("/*.*") }), ZipCode::NothingToDo);
        QCOMPARE(readFile(archive), QByteArrayLiteral("the previous archive"));
        QVERIFY(temporariesOf(archive).isEmpty());
    }

    void unreadableFileIsLeftOutWithAWarning()
    {
        const QString root = path(QStringLiteral("Mixed"));
        writeFile(root + QStringLiteral("/good1.txt"), textLike(5000, 1));
        writeFile(root + QStringLiteral("/locked.txt"), textLike(5000, 2));
        writeFile(root + QStringLiteral("/sub/good2.txt"), textLike(5000, 3));
        const QString locked = root + QStringLiteral("/locked.txt");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        QFile probe(locked);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("this process reads any file (it has the right to ignore permissions)");

        // A folder that cannot be listed is named too.
        writeFile(root + QStringLiteral("/closed/inside.txt"), textLike(100, 4));
        const QString closed = root + QStringLiteral("/closed");
        const QStringList patterns = runPatterns(root);
        QVERIFY(QFile::setPermissions(closed, QFileDevice::Permissions()));

        const QString archive = path(QStringLiteral("mixed.zip"));
        QString message;
        const int result = makeZip(archive, patterns, &message);
        QCOMPARE(result, ZipCode::FilesSkipped);
        QCOMPARE(message.count(u'\n'), 2);
        QVERIFY2(message.contains(QStringLiteral("could not open for reading: %1: Permission denied\n").arg(locked)),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("could not read folder: %1: Permission denied\n").arg(closed)),
                 qPrintable(message));
        QMap<QString, QString> files;
        QStringList folders;
        expectTree(root, files, folders);
        files.remove(locked.mid(1));
        verifyArchive(archive, files, folders);
        QVERIFY(
            QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

    void fifoIsSkippedNotRead()
    {
        const QString root = path(QStringLiteral("Pipe"));
        writeFile(root + QStringLiteral("/file.txt"), textLike(100, 1));
        const QString fifo = root + QStringLiteral("/queue");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        const QString archive = path(QStringLiteral("pipe.zip"));
        QString message;
        // Not a file a backup can hold: said, but no failure.
        QCOMPARE(makeZip(archive, { root + QStringLiteral("/*.*") }, &message), ZipCode::Ok);
        QCOMPARE(message, QStringLiteral("skipped, not a regular file: %1\n").arg(fifo));
        const auto entries = readWithPython(archive, nullptr);
        QCOMPARE(entries.keys(), QStringList { stored(QStringLiteral("Pipe/file.txt")) });
    }

    void writeFailureKeepsTheOldArchive()
    {
        // A file size limit makes writing the new archive fail part way, as a full disk does.
        const QString root = path(QStringLiteral("Large"));
        writeFile(root + QStringLiteral("/noise.bin"), randomBytes(3 * 1024 * 1024, 1));
        const QString archive = path(QStringLiteral("large.zip"));
        writeFile(archive, QByteArrayLiteral("the previous archive"));

        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 1024 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString message;
        const int result = makeZip(archive, { root + QStringLiteral("/*.*") }, &message);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(result, ZipCode::WriteError);
        // Named as the user knows it, not as the hidden temporary it was written into.
        QCOMPARE(message, QStringLiteral("write error: %1: File too large\n").arg(archive));
        QCOMPARE(readFile(archive), QByteArrayLiteral("the previous archive"));
        QVERIFY(temporariesOf(archive).isEmpty());
    }

    void cancelKeepsTheOldArchiveAndWindowEventsFlow()
    {
        const QString root = path(QStringLiteral("Slow"));
        for (int i = 0; i < 6; ++i)
            writeFile(root + QStringLiteral("/part%1.txt").arg(i), textLike(24 * 1024 * 1024, static_cast<quint32>(i)));
        const QString archive = path(QStringLiteral("slow.zip"));
        writeFile(archive, QByteArrayLiteral("the previous archive"));

        std::atomic<bool> cancel { false };
        const auto cancelled = [&cancel] { return cancel.load(); };
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            // Ticks arrive while the archive is being written: the window's thread is free.
            if (++ticks == 5)
                cancel.store(true);
        });
        ticker.start(20);
        QString message;
        const int result = makeZip(archive, { root + QStringLiteral("/*.*") }, &message, cancelled);
        ticker.stop();
        QVERIFY(ticks >= 5);
        QCOMPARE(result, ZipCode::Cancelled);
        QVERIFY2(message.contains(QStringLiteral("cancelled")), qPrintable(message));
        QCOMPARE(readFile(archive), QByteArrayLiteral("the previous archive"));
        QVERIFY(temporariesOf(archive).isEmpty());

        // A cancel requested before the call stops it before anything is written.
        QCOMPARE(makeZip(archive, { root + QStringLiteral("/*.*") }, nullptr, cancelled), ZipCode::Cancelled);
        QCOMPARE(readFile(archive), QByteArrayLiteral("the previous archive"));
        QVERIFY(temporariesOf(archive).isEmpty());
    }

    void staleTemporariesAreRemoved()
    {
        const QString root = path(QStringLiteral("Src"));
        writeFile(root + QStringLiteral("/one.txt"), textLike(1000, 1));
        const QString archive = path(QStringLiteral("stale.zip"));
        writeFile(archive + QStringLiteral(".tessaly-tmp"), "left by a killed run");
        writeFile(archive + QStringLiteral(".tessaly-tmp.Ab12Cd"), "left by a killed run");
        const QString other = path(QStringLiteral("stale.zip.keep"));
        writeFile(other, "someone else's file");
        QCOMPARE(makeZip(archive, { root + QStringLiteral("/*.*") }), 0);
        QCOMPARE(temporariesOf(archive), QStringList { other });
        QVERIFY(unzipAccepts(archive));
    }

    void archiveInsideTheTreeIsNotPartOfItself()
    {
        const QString root = path(QStringLiteral("Home"));
        writeFile(root + QStringLiteral("/a.txt"), textLike(1000, 1));
        const QString archive = root + QStringLiteral("/Backups/Home.zip");
        QDir().mkpath(root + QStringLiteral("/Backups"));
        QCOMPARE(makeZip(archive, runPatterns(root)), 0);
        // The second run finds the first archive in the tree and leaves it out.
        QCOMPARE(makeZip(archive, runPatterns(root)), 0);
        const auto entries = readWithPython(archive, nullptr);
        QCOMPARE(entries.keys(),
                 (QStringList { stored(QStringLiteral("Home/Backups/")), stored(QStringLiteral("Home/a.txt")) }));
    }

    void optionsRecurseJunkRootAndUpdate()
    {
        const QString root = path(QStringLiteral("Opt"));
        writeFile(root + QStringLiteral("/top.txt"), textLike(1000, 1));
        writeFile(root + QStringLiteral("/sub/inner.txt"), textLike(1000, 2));
        writeFile(root + QStringLiteral("/sub/.hidden"), textLike(10, 3));
        QDir().mkpath(root + QStringLiteral("/sub/deep"));
        writeFile(root + QStringLiteral("/x"), QByteArray());
        const QString archive = path(QStringLiteral("opt.zip"));

        // Relative names resolve against the root directory and are stored as given; recursion
        // brings whole folders, hidden names still stay out.
        ZipFileSet zip;
        zip.setZipFileName(archive);
        zip.setRootDirectory(root);
        zip.setRecurseFolders(true);
        zip.addFile(QStringLiteral("sub"));
        zip.addFile(QStringLiteral("./top.txt"));
        zip.addFile(QStringLiteral("../Opt/x"));
        QVERIFY2(zip.makeZipFile() == 0, qPrintable(zip.lastMessage()));
        QCOMPARE(readWithPython(archive, nullptr).keys(),
                 (QStringList { QStringLiteral("Opt/x"), QStringLiteral("sub/"), QStringLiteral("sub/deep/"),
                                QStringLiteral("sub/inner.txt"), QStringLiteral("top.txt") }));

        // Junk paths keep file names only, and no folder entries.
        ZipFileSet junk;
        junk.setZipFileName(archive);
        junk.setIgnorePath(true);
        junk.addFile(root + QStringLiteral("/*.*"));
        junk.addFile(root + QStringLiteral("/sub/*.*"));
        QCOMPARE(junk.makeZipFile(), 0);
        QCOMPARE(readWithPython(archive, nullptr).keys(),
                 (QStringList { QStringLiteral("inner.txt"), QStringLiteral("top.txt"), QStringLiteral("x") }));

        // Update: entries not older than their files stay, newer files replace theirs, new files
        // are added and entries no name matches are kept.
        const QByteArray innerBefore = sha1OfFile(root + QStringLiteral("/sub/inner.txt"));
        writeFile(root + QStringLiteral("/top.txt"), textLike(3000, 7));
        {
            QFile top(root + QStringLiteral("/top.txt"));
            QVERIFY(top.open(QIODevice::ReadWrite));
            QVERIFY(top.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        }
        writeFile(root + QStringLiteral("/new.txt"), textLike(400, 8));
        ZipFileSet update;
        update.setZipFileName(archive);
        update.setIgnorePath(true);
        update.setUpdatingZip(true);
        update.addFile(root + QStringLiteral("/*.txt"));
        QCOMPARE(update.makeZipFile(), 0);
        const auto entries = readWithPython(archive, nullptr);
        QCOMPARE(entries.keys(),
                 (QStringList { QStringLiteral("inner.txt"), QStringLiteral("new.txt"), QStringLiteral("top.txt"),
                                QStringLiteral("x") }));
        QCOMPARE(entries.value(QStringLiteral("top.txt")).sha1, sha1OfFile(root + QStringLiteral("/top.txt")));
        QCOMPARE(entries.value(QStringLiteral("inner.txt")).sha1, innerBefore);
        QVERIFY(unzipAccepts(archive));
    }

    // Names are bytes: those that are not UTF-8 are archived exactly (without the UTF-8 flag) and
    // extracted to the same bytes; a name that would climb out of the extractor's folder where "\"
    // is a separator is stored under a safe name, with a printed line.
    void namesKeepTheirBytesAndNeverClimbOut()
    {
        const QByteArray root = QFile::encodeName(path(QStringLiteral("Names")));
        const QByteArray evil = "x\\..\\..\\evil.txt";
        const QList<std::pair<QByteArray, QByteArray>> files {
            { "caf\xe9.txt", "one Latin-1 byte" },
            { "d\xe9t\xe9/inner.txt", "in a folder whose name is not UTF-8" },
            { "d\xe9t\xe9/sub\xfc/deep.txt", "below it" },
            { "\xc3\xa9t\xc3\xa9.txt", "a UTF-8 name" },
            { evil, "backslashes" },
        };
        const QByteArray folder = root + "/d\xe9t\xe9";
        for (const QByteArray& made : QList<QByteArray> { root, folder, folder + "/sub\xfc" })
            QCOMPARE(::mkdir(made.constData(), 0755), 0);
        for (const auto& [name, content] : files)
            writeRaw(root + '/' + name, content);
        const QString extracted = path(QStringLiteral("out"));
        // Qt's own removal cannot see these names.
        const auto removeRaw = qScopeGuard([&] {
            QProcess::execute(QStringLiteral("rm"), { QStringLiteral("-rf"), QFile::decodeName(root), extracted });
        });

        const QString archive = path(QStringLiteral("names.zip"));
        QString message;
        QCOMPARE(makeZip(archive, runPatterns(path(QStringLiteral("Names"))), &message), 0);

        const QMap<QByteArray, std::pair<bool, QByteArray>> entries = rawEntries(archive);
        QVERIFY(QProcess::execute(QStringLiteral("unzip"),
                                  { QStringLiteral("-q"), archive, QStringLiteral("-d"), extracted })
                == 0);
        for (const auto& [name, content] : files) {
            const QByteArray stored = root.mid(1) + '/' + (name == evil ? QByteArray("x_.._.._evil.txt") : name);
            QVERIFY2(entries.contains(stored), stored.constData());
            QCOMPARE(entries.value(stored).second, content);
            // The flag says UTF-8 exactly when the name is UTF-8 and not plain ASCII.
            QCOMPARE(entries.value(stored).first, name.startsWith("\xc3"));
            QCOMPARE(readRaw(QFile::encodeName(extracted) + '/' + stored), content);
        }
        QCOMPARE(entries.size(), files.size() + 2); // and the two folders
        QVERIFY2(message.contains(QStringLiteral("evil.txt")), qPrintable(message));
        for (const QByteArray& name : entries.keys()) {
            for (const QByteArray& part : QByteArray(name).replace('\\', '/').split('/'))
                QVERIFY2(part != "..", name.constData());
        }
        QString output;
        QVERIFY2(sevenZipAccepts(archive, &output), qPrintable(output));
    }

    // A folder's contents are stored at its real place: a link to a folder in the tree is not
    // followed (whichever comes first in the listing), one to a folder outside is. The archive is
    // recognised by identity even when the backup folder is reached through a link into the tree.
    void foldersAtTheirRealPlaceAndNeverTheArchiveItself()
    {
        const QString home = path(QStringLiteral("Home"));
        writeFile(home + QStringLiteral("/real/data.txt"), textLike(1000, 1));
        writeFile(home + QStringLiteral("/real/inner/d.txt"), textLike(1000, 2));
        writeFile(path(QStringLiteral("Outside/o.txt")), textLike(1000, 3));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/backups")));
        QVERIFY(QFile::link(home + QStringLiteral("/real"), home + QStringLiteral("/a_link")));
        QVERIFY(QFile::link(home + QStringLiteral("/real/inner"), home + QStringLiteral("/real/b_link")));
        QVERIFY(QFile::link(path(QStringLiteral("Outside")), home + QStringLiteral("/ext")));
        QVERIFY(QFile::link(home + QStringLiteral("/backups"), path(QStringLiteral("linkdest"))));
        const QString archive = path(QStringLiteral("linkdest/Home.zip"));

        QMap<QString, QString> files {
            { stored(QStringLiteral("Home/real/data.txt")), home + QStringLiteral("/real/data.txt") },
            { stored(QStringLiteral("Home/real/inner/d.txt")), home + QStringLiteral("/real/inner/d.txt") },
            { stored(QStringLiteral("Home/ext/o.txt")), path(QStringLiteral("Outside/o.txt")) },
        };
        QStringList folders;
        for (const char* folder : { "Home/backups/", "Home/ext/", "Home/real/", "Home/real/inner/" })
            folders.append(stored(QString::fromLatin1(folder)));
        // The second run finds the first archive in the tree.
        for (int run = 0; run < 2; ++run) {
            QString message;
            QVERIFY2(makeZip(archive, runPatterns(home), &message) == 0, qPrintable(message));
            verifyArchive(archive, files, folders);
        }
    }

    void linkedFolderLoopIsEnteredOnce()
    {
        const QString root = path(QStringLiteral("Loop"));
        writeFile(root + QStringLiteral("/a/file.txt"), textLike(100, 1));
        QVERIFY(QFile::link(root, root + QStringLiteral("/a/back")));
        ZipFileSet zip;
        zip.setZipFileName(path(QStringLiteral("loop.zip")));
        zip.setRecurseFolders(true);
        zip.addFile(root);
        QCOMPARE(zip.makeZipFile(), 0);
        const auto entries = readWithPython(path(QStringLiteral("loop.zip")), nullptr);
        QVERIFY2(entries.size() < 10, qPrintable(entries.keys().join(u' ')));
        QVERIFY(entries.contains(stored(QStringLiteral("Loop/a/file.txt"))));
    }
};

int main(int argc, char** argv)
{
    // Before any thread exists, so every thread of the test has the same rights.
    dropFileCapabilities();
    QCoreApplication app(argc, argv);
    TestZipEngine test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestZipEngine.moc"
