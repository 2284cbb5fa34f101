// Archives past the limits of the classic ZIP format, and a run killed part way.
#include "ZipTestTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace ZipTestTools;

class TestZipLarge : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    // A sparse file of `size` bytes with some text at its start and at its end.
    void makeSparse(const QString& file, qint64 size)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(out.write(textLike(100000, 1)) == 100000);
        QVERIFY(out.resize(size));
        QVERIFY(out.seek(size - 5000));
        QVERIFY(out.write(textLike(5000, 2)) == 5000);
    }

private Q_SLOTS:
    void fileOverFourGiB()
    {
        const qint64 size = (qint64(4) << 30) + 123457;
        const QString file = path(QStringLiteral("Huge/sparse.img"));
        makeSparse(file, size);
        writeFile(path(QStringLiteral("Huge/small.txt")), textLike(3000, 3));
        const QString archive = path(QStringLiteral("huge.zip"));
        QString message;
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Huge/*.*")) }, &message), 0);
        QCOMPARE(message, QString());

        QString error;
        const auto entries = readWithPython(archive, &error);
        QVERIFY2(!entries.isEmpty(), qPrintable(error));
        const ReadEntry huge = entries.value(file.mid(1));
        QCOMPARE(huge.size, size);
        QCOMPARE(huge.sha1, sha1OfFile(file));
        QCOMPARE(entries.value(path(QStringLiteral("Huge/small.txt")).mid(1)).sha1,
                 sha1OfFile(path(QStringLiteral("Huge/small.txt"))));
        QString output;
        QVERIFY2(unzipAccepts(archive, &output), qPrintable(output));
        QVERIFY2(sevenZipAccepts(archive, &output), qPrintable(output));
        QFile::remove(file);
    }

    void moreEntriesThanTheClassicFormatCounts()
    {
        const QString root = path(QStringLiteral("Crowd"));
        const int count = 66000;
        for (int i = 0; i < count; ++i)
            writeFile(root + QStringLiteral("/d%1/f%2.txt").arg(i / 1000).arg(i), QByteArray::number(i));
        QStringList patterns { root + QStringLiteral("/*.*") };
        for (int d = 0; d < count / 1000; ++d)
            patterns.append(root + QStringLiteral("/d%1/*.*").arg(d));
        const QString archive = path(QStringLiteral("crowd.zip"));
        QCOMPARE(makeZip(archive, patterns), 0);
        const auto entries = readWithPython(archive, nullptr);
        QCOMPARE(entries.size(), count + count / 1000);
        QCOMPARE(entries.value(root.mid(1) + QStringLiteral("/d65/f65999.txt")).size, 5);
        QVERIFY(unzipAccepts(archive));
        QDir(root).removeRecursively();
    }

    void killedRunLeavesThePreviousArchive()
    {
        makeSparse(path(QStringLiteral("Kill/large.img")), qint64(3) << 30);
        writeFile(path(QStringLiteral("Kill/small.txt")), textLike(3000, 3));
        const QString archive = path(QStringLiteral("kill.zip"));
        writeFile(archive, "the previous archive");

        QProcess helper;
        helper.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ziphelper"),
                     { archive, path(QStringLiteral("Kill/*.*")) });
        QVERIFY(helper.waitForStarted());
        // Kill it as soon as it has begun writing the new archive.
        QElapsedTimer waited;
        waited.start();
        while (temporariesOf(archive).isEmpty() && helper.state() == QProcess::Running && waited.elapsed() < 120000)
            QTest::qWait(2);
        QVERIFY2(!temporariesOf(archive).isEmpty(), "the helper never started writing");
        helper.kill();
        QVERIFY(helper.waitForFinished());
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
        QCOMPARE(readFile(archive), QByteArray("the previous archive"));
        QVERIFY(!temporariesOf(archive).isEmpty());

        // The next run of the same archive clears what the killed one left.
        QCOMPARE(makeZip(archive, { path(QStringLiteral("Kill/small.txt")) }), 0);
        QVERIFY(temporariesOf(archive).isEmpty());
        QCOMPARE(readWithPython(archive, nullptr).keys(),
                 QStringList { path(QStringLiteral("Kill/small.txt")).mid(1) });
    }
};

QTEST_GUILESS_MAIN(TestZipLarge)

#include "TestZipLarge.moc"
