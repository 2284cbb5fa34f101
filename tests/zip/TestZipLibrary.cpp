// The zip file set (ZipFileSet) and its binding (ZipLibrary): the name list and its errors, the
// options handed on, the printed message rules (ZipMessage), and the wait in a local event loop.
#include "ZipTestTools.h"
#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "support/TestPrompter.h"
#include "zip/ZipFileSet.h"
#include "zip/ZipLibrary.h"
#include "zip/ZipMessage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace ZipTestTools;

namespace {

template<class Call> AppError raised(Call&& call)
{
    try {
        call();
    } catch (const AppError& error) {
        return error;
    }
    return AppError(0, QString(), QString());
}

} // namespace

class TestZipLibrary : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

private Q_SLOTS:
    void nameListAndItsErrors()
    {
        ZipFileSet zip;
        QCOMPARE(zip.zipFileCount(), 0);
        QCOMPARE(zip.fileList(), QStringList { QStringLiteral("querty") });
        QCOMPARE(zip.rootDirectory(), QStringLiteral("\\"));
        QVERIFY(!zip.recurseFolders() && !zip.ignorePath() && !zip.updatingZip() && !zip.encrypted()
                && !zip.includeSystemFiles());
        QVERIFY(zip.zipFileName().isEmpty());

        // The placeholder's own name is taken.
        AppError error = raised([&] { zip.addFile(QStringLiteral("querty")); });
        QCOMPARE(error.number(), 0x800407D1u);
        QCOMPARE(error.source(), QStringLiteral("CGZip::AddFile"));
        QCOMPARE(error.description(), QStringLiteral("File is already in Zip List"));

        zip.addFile(QStringLiteral("/home/ann/Docs/*.*"));
        zip.addFile(QStringLiteral("/home/ann/Docs/sub/*.*"));
        zip.addFile(QStringLiteral("/home/ann/Docs/Sub/*.*")); // another folder on Linux
        QCOMPARE(zip.zipFileCount(), 3);
        error = raised([&] { zip.addFile(QStringLiteral("/home/ann/Docs/sub/*.*")); });
        QCOMPARE(error.number(), 0x800407D1u);
        QCOMPARE(zip.zipFileCount(), 3);

        error = raised([&] { zip.removeFile(QStringLiteral("/home/ann/Other/*.*")); });
        QCOMPARE(error.number(), 0x800407D2u);
        QCOMPARE(error.source(), QStringLiteral("CGZip::RemoveFile"));
        QCOMPARE(error.description(), QStringLiteral("File is not in Zip List"));
        zip.removeFile(QStringLiteral("/home/ann/Docs/sub/*.*"));
        QCOMPARE(zip.fileList(),
                 (QStringList { QStringLiteral("querty"), QStringLiteral("/home/ann/Docs/*.*"),
                                QStringLiteral("/home/ann/Docs/Sub/*.*") }));
    }

    void errorsReachTheApplicationErrorBox()
    {
        TestPrompter prompter;
        ZipFileSet zip;
        int reached = 0;
        ErrorTrap trap(QStringLiteral("IntervalSave.SaveAll"));
        trap.line(10, [&] { zip.addFile(QStringLiteral("a")); });
        trap.line(20, [&] { zip.addFile(QStringLiteral("a")); });
        trap.line(30, [&] { ++reached; });
        QCOMPARE(reached, 1);
        QCOMPARE(prompter.shown().size(), 1);
        QCOMPARE(prompter.shown().first().title, QStringLiteral("Application Error"));
        QVERIFY(prompter.shown().first().text.startsWith(QStringLiteral("File is already in Zip List\r\n")));
        QVERIFY(prompter.shown().first().text.contains(QStringLiteral("at line 20")));
    }

    void namesDifferingInCaseAreDifferentFolders()
    {
        writeFile(path(QStringLiteral("Case/Photos/a.txt")), "upper");
        writeFile(path(QStringLiteral("Case/photos/a.txt")), "lower");
        const QString archive = path(QStringLiteral("case.zip"));
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Case/Photos/*.*")), path(QStringLiteral("Case/photos/*.*")) }),
                 0);
        const auto entries = readWithPython(archive, nullptr);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.value(path(QStringLiteral("Case/Photos/a.txt")).mid(1)).size, 5);
        QCOMPARE(entries.value(path(QStringLiteral("Case/photos/a.txt")).mid(1)).size, 5);
    }

    void slotZeroIsNeverAFile()
    {
        writeFile(path(QStringLiteral("Slot/a.txt")), "a");
        writeFile(path(QStringLiteral("Slot/b.txt")), "b");
        ZipFileSet zip;
        zip.setZipFileName(path(QStringLiteral("slot.zip")));
        zip.removeFile(QStringLiteral("QUERTY").toLower());
        zip.addFile(path(QStringLiteral("Slot/a.txt")));
        zip.addFile(path(QStringLiteral("Slot/b.txt")));
        QCOMPARE(zip.fileList().first(), path(QStringLiteral("Slot/a.txt")));
        QCOMPARE(zip.makeZipFile(), 0);
        QCOMPARE(readWithPython(path(QStringLiteral("slot.zip")), nullptr).keys(),
                 QStringList { path(QStringLiteral("Slot/b.txt")).mid(1) });
    }

    void storedOnlyOptionsChangeNothing()
    {
        writeFile(path(QStringLiteral("Opts/plain.txt")), textLike(2000, 1));
        writeFile(path(QStringLiteral("Opts/.hidden.txt")), textLike(2000, 2));
        ZipFileSet zip;
        zip.setZipFileName(path(QStringLiteral("opts.zip")));
        zip.setEncrypted(true);
        zip.setIncludeSystemFiles(true);
        QVERIFY(zip.encrypted());
        QVERIFY(zip.includeSystemFiles());
        zip.addFile(path(QStringLiteral("Opts/*.*")));
        QCOMPARE(zip.makeZipFile(), 0);
        const auto entries = readWithPython(path(QStringLiteral("opts.zip")), nullptr);
        QCOMPARE(entries.keys(), QStringList { path(QStringLiteral("Opts/plain.txt")).mid(1) });
        QCOMPARE(entries.first().flags & 1, 0); // not encrypted
    }

    void printedMessageRules()
    {
        // Each archive starts with an empty message.
        writeFile(path(QStringLiteral("Msg/a.txt")), "a");
        ZipFileSet zip;
        zip.setZipFileName(path(QStringLiteral("msg.zip")));
        zip.addFile(path(QStringLiteral("Missing/*.*")));
        QVERIFY(zip.makeZipFile() != 0);
        QVERIFY(zip.lastMessage().contains(QStringLiteral("nothing to do")));
        zip.removeFile(path(QStringLiteral("Missing/*.*")));
        zip.addFile(path(QStringLiteral("Msg/*.*")));
        QCOMPARE(zip.makeZipFile(), 0);
        QCOMPARE(zip.lastMessage(), QString());

        // At most 4,097 bytes per piece, up to the first NUL, joined without separators.
        ZipMessage message;
        const QByteArray big(5000, 'x');
        message.take(big.constData(), 5000);
        QCOMPARE(message.text().size(), 4097);
        const QByteArray withNul("one\0two", 7);
        message.take(withNul.constData(), 7);
        message.take("three and more", 3); // length + 1 bytes
        QCOMPARE(message.text().mid(4097), QStringLiteral("onethre"));

        // A long report from the engine arrives whole, though it crosses many pieces.
        QStringList patterns;
        for (int i = 0; i < 300; ++i)
            patterns.append(path(QString(40, QChar(0xFC)) + QStringLiteral("-%1/*.*").arg(i)));
        QString report;
        QVERIFY(makeZip(path(QStringLiteral("msg.zip")), patterns, &report) != 0);
        QVERIFY(report.toLocal8Bit().size() > 3 * 4097);
        for (int i = 0; i < 300; ++i)
            QVERIFY2(report.contains(QStringLiteral("name not matched: %1\n").arg(patterns.at(i))),
                     qPrintable(patterns.at(i)));
        QVERIFY(report.endsWith(QStringLiteral("was left as it was\n")));
    }

    void printedLinesArriveWholeWhileTheCallerLetsEventsThrough()
    {
        // A slow event pump, as a busy window's: the engine's next lines must not be handed over
        // inside the text being gathered.
        ZipJob job;
        job.archivePath = path(QStringLiteral("lines.zip"));
        for (int i = 0; i < 3000; ++i)
            job.names.append(path(QStringLiteral("missing-%1-%2/*.*").arg(QString(60, u'x')).arg(i)));
        job.pumpEvents = [] {
            QThread::msleep(2);
            QCoreApplication::processEvents();
        };
        const ZipResult result = MakeZipArchive(job);
        QCOMPARE(result.code, ZipCode::NothingToDo);
        qsizetype at = 0;
        for (const QString& name : std::as_const(job.names)) {
            // Whole, and in the order of the names.
            const qsizetype found = result.message.indexOf(QStringLiteral("name not matched: %1\n").arg(name), at);
            QVERIFY2(found >= 0, qPrintable(name));
            at = found;
        }
    }

    void quittingDuringAnArchiveCancelsIt()
    {
        // Quitting the application ends every local event loop, the binding's too: the archive
        // is abandoned, and the call returns once the engine let go of its files or, on a busy
        // machine, once it waited its while; an engine left behind still takes its temporary away.
        for (int i = 0; i < 4; ++i)
            writeFile(path(QStringLiteral("Quit/part%1.txt").arg(i)),
                      textLike(32 * 1024 * 1024, static_cast<quint32>(i)));
        const QString archive = path(QStringLiteral("quit.zip"));
        writeFile(archive, "the previous archive");
        QTimer::singleShot(100, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
        QString message;
        const int result = makeZip(archive, { path(QStringLiteral("Quit/*.*")) }, &message);
        QCOMPARE(result, ZipCode::Cancelled);
        QCOMPARE(readFile(archive), QByteArray("the previous archive"));
        QTRY_VERIFY_WITH_TIMEOUT(!ZipWorkLeftBehind(), 60000);
        QVERIFY(temporariesOf(archive).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestZipLibrary)

#include "TestZipLibrary.moc"
