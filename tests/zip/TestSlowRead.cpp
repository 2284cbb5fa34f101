#include "ZipTestTools.h"
#include "zip/ZipEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

using namespace ZipTestTools;

// The engine reading from a file system that answers each read call slowly (a FUSE layer that
// sleeps a second per call, one call at a time).
class TestSlowRead : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_slowFolder;

    QString mountPoint() const { return m_dir.path() + QStringLiteral("/Slow"); }
    QString marker() const { return m_dir.path() + QStringLiteral("/first-read"); }

private Q_SLOTS:
    void initTestCase()
    {
        if (!runningAsRoot() || !QFileInfo::exists(QStringLiteral("/dev/fuse")))
            QSKIP("mounting a FUSE layer needs root and /dev/fuse");
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                              { QStringLiteral("-c"), QStringLiteral("import fusepy") })
            != 0)
            QSKIP("the FUSE layer needs python3-fusepy");
        const QString source = m_dir.path() + QStringLiteral("/source");
        // One piece of the compression pipeline, 32 read calls of 128 KiB.
        writeFile(source + QStringLiteral("/big.bin"), randomBytes(4 << 20, 7));
        QVERIFY(QDir().mkpath(mountPoint()));
        m_slowFolder.start(QStringLiteral("/usr/bin/python3"),
                           { qEnvironmentVariable("TESSALY_SOURCE_DIR") + QStringLiteral("/tests/support/slowfs.py"),
                             source, mountPoint(), QStringLiteral("1"), marker() });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(mountPoint() + QStringLiteral("/big.bin")), 30000);
    }

    void cleanupTestCase()
    {
        if (m_slowFolder.state() == QProcess::NotRunning)
            return;
        m_slowFolder.kill();
        m_slowFolder.waitForFinished();
        QProcess::execute(QStringLiteral("umount"), { QStringLiteral("-l"), mountPoint() });
    }

    // Read whole, the file would take half a minute after the cancel; it must take one call.
    void cancelReachesTheReaderWithinOneReadCall()
    {
        const QString archive = m_dir.path() + QStringLiteral("/Slow.zip");
        std::atomic<bool> cancel { false };
        std::atomic<int> code { -1 };
        ZipJob job;
        job.archivePath = archive;
        job.names = { mountPoint() + QStringLiteral("/*.*") };
        job.cancelled = [&cancel] { return cancel.load(); };
        std::thread engine([&] { code = RunZipJob(job, [](const QString&) {}); });
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker()), 60000);
        QElapsedTimer sinceCancel;
        sinceCancel.start();
        cancel = true;
        engine.join();
        QVERIFY2(sinceCancel.elapsed() < 15000, qPrintable(QString::number(sinceCancel.elapsed())));
        QCOMPARE(code.load(), ZipCode::Cancelled);
        QVERIFY(!QFileInfo::exists(archive));
        QVERIFY(temporariesOf(archive).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSlowRead)
#include "TestSlowRead.moc"
