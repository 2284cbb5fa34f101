#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "base/FileRoutines.h"
#include "base/HomePage.h"
#include "base/NativePath.h"
#include "base/TextRoutines.h"
#include "support/TestLauncher.h"
#include "support/TestPrompter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestRoutines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatDuration_data()
    {
        QTest::addColumn<long long>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0LL << QStringLiteral("00:00:00");
        QTest::newRow("one") << 1LL << QStringLiteral("00:00:01");
        QTest::newRow("59") << 59LL << QStringLiteral("00:00:59");
        QTest::newRow("900") << 900LL << QStringLiteral("00:15:00");
        QTest::newRow("3599") << 3599LL << QStringLiteral("00:59:59");
        QTest::newRow("3600") << 3600LL << QStringLiteral("01:00:00");
        QTest::newRow("day less one") << 86399LL << QStringLiteral("23:59:59");
        QTest::newRow("whole day") << 86400LL << QStringLiteral("00:00:00");
        QTest::newRow("minus one") << -1LL << QStringLiteral("00:00:01");
        QTest::newRow("most negative count") << -2147483648LL << QStringLiteral("03:14:08");
    }

    void formatDuration()
    {
        QFETCH(long long, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatDuration(seconds), text);
    }

    // Every byte string, valid UTF-8 or not, comes back from its text form unchanged, and
    // valid UTF-8 reads exactly as Qt's own conversion reads it.
    void nativePathsKeepTheirBytes()
    {
        const QByteArray latin1("caf\xe9.txt");
        QVERIFY(HasRawBytes(PathFromNative(latin1)));
        QCOMPARE(NativePath(PathFromNative(latin1)), latin1);
        const QByteArray utf8("d\xc3\xa9j\xc3\xa0 \xe6\x97\xa5\xf0\x9f\x93\x81");
        QCOMPARE(PathFromNative(utf8), QString::fromUtf8(utf8));
        QVERIFY(!HasRawBytes(PathFromNative(utf8)));
        QCOMPARE(NativePath(QString::fromUtf8(utf8)), utf8);
        // Overlong forms and encoded surrogates are not UTF-8: each of their bytes stays a byte.
        for (const QByteArray& bad :
             { QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("\xf4\x90\x80\x80") }) {
            QVERIFY(HasRawBytes(PathFromNative(bad)));
            QCOMPARE(NativePath(PathFromNative(bad)), bad);
        }
        QRandomGenerator random(12345);
        for (int round = 0; round < 2000; ++round) {
            QByteArray bytes(static_cast<qsizetype>(random.bounded(24)), Qt::Uninitialized);
            for (char& b : bytes)
                b = static_cast<char>(random.bounded(256));
            QCOMPARE(NativePath(PathFromNative(bytes)), bytes);
        }
    }

    void textRoutines()
    {
        QCOMPARE(StripFileNameChars(QStringLiteral("a b.c-d(e)")), QStringLiteral("abcde"));
        QCOMPARE(StripFileNameChars(QStringLiteral("A_B!C")), QStringLiteral("A_B!C"));
        QCOMPARE(StripFileNameChars(QStringLiteral("$/\\*:?<>|#' .,\"()-+=%;}{\t&[]")), QStringLiteral("&[]"));

        const QString rgb = QStringLiteral("Red Green Blue");
        QCOMPARE(DropLastWord(rgb, QStringLiteral("Blue")), QStringLiteral("Red Green"));
        QCOMPARE(DropLastWord(rgb, QStringLiteral("Green")), rgb);
        QCOMPARE(DropLastWord(rgb, QString()), QStringLiteral("Red Green"));
        QCOMPARE(DropLastWord(QStringLiteral("Red Green blue"), QStringLiteral("Blue")),
                 QStringLiteral("Red Green blue"));
        QCOMPARE(DropLastWord(QStringLiteral("Tessaly"), QStringLiteral("Software")), QStringLiteral("Tessaly"));

        QCOMPARE(ShortTitle(QStringLiteral("Tessaly")), QStringLiteral("Tessaly"));
        QCOMPARE(ShortTitle(QStringLiteral("Tessaly Backup Software")), QStringLiteral("Tessaly Backup"));
        const QString longName = QStringLiteral("One Two Three Four Five Six Seven Eight Nine Ten");
        QCOMPARE(ShortTitle(longName), QStringLiteral("One Two Three Four Five Six Seven Eight")); // 39 characters
    }

    void toInteger16()
    {
        const QString where = QStringLiteral("test");
        QCOMPARE(ToInteger16(QStringLiteral("7"), where), 7);
        QCOMPARE(ToInteger16(QStringLiteral(" 15 "), where), 15);
        QCOMPARE(ToInteger16(QStringLiteral("2.5"), where), 2);
        QCOMPARE(ToInteger16(QStringLiteral("3.5"), where), 4);
        QCOMPARE(ToInteger16(QStringLiteral("-32768"), where), -32768);
        QCOMPARE(ToInteger16(QStringLiteral("&H10"), where), 16);
        for (const char* bad : { "x", "", "abc", "1,5", "nan", "inf" }) {
            try {
                ToInteger16(QString::fromLatin1(bad), where);
                QFAIL(bad);
            } catch (const AppError& e) {
                QCOMPARE(e.description(), QStringLiteral("Type mismatch"));
            }
        }
        for (const char* big : { "32768", "1e10", "-40000" }) {
            try {
                ToInteger16(QString::fromLatin1(big), where);
                QFAIL(big);
            } catch (const AppError& e) {
                QCOMPARE(e.description(), QStringLiteral("Overflow"));
            }
        }
    }

    void fileRoutines()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("a file.txt"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();

        QVERIFY(FileExists(dir.path()));
        QVERIFY(FileExists(file));
        QVERIFY(!FileExists(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!FileExists(QString()));
        QVERIFY(FolderExists(dir.path()));
        QVERIFY(!FolderExists(file));
        QVERIFY(!FolderExists(dir.filePath(QStringLiteral("missing"))));
        QVERIFY(!FolderExists(QString()));

        // A read-only file is deleted too; a missing one, a folder and an empty path are quiet.
        QVERIFY(f.setPermissions(QFile::ReadOwner));
        DeleteFileQuietly(file);
        QVERIFY(!QFile::exists(file));
        DeleteFileQuietly(file);
        DeleteFileQuietly(QString());
        DeleteFileQuietly(dir.path());
        QVERIFY(QDir(dir.path()).exists());
    }

    void desktopFolderEndsWithSeparator()
    {
        QTemporaryDir home;
        const QByteArray savedHome = qgetenv("HOME");
        const QByteArray savedDesktop = qgetenv("XDG_DESKTOP_DIR");
        qputenv("HOME", home.path().toLocal8Bit());
        qunsetenv("XDG_DESKTOP_DIR");
        const QString desktop = DesktopFolder();
        qputenv("HOME", savedHome);
        if (!savedDesktop.isNull())
            qputenv("XDG_DESKTOP_DIR", savedDesktop);
        QVERIFY(desktop.startsWith(home.path()));
        QVERIFY(desktop.endsWith(u'/'));
        QVERIFY(!desktop.endsWith(QStringLiteral("//")));
    }

    void pauseKeepsEventsFlowing()
    {
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        PauseSeconds(0.3);
        QVERIFY(clock.elapsed() >= 290);
        QVERIFY(ticks >= 2);
    }

    void homePageOpensOnSevenOnly()
    {
        TestLauncher launcher;
        for (int i = 0; i < 100; ++i)
            MaybeOpenHomePage([i] { return i / 100.0; });
        QCOMPARE(launcher.pages, QStringList { QString::fromLatin1(HomePageAddress) });
        MaybeOpenHomePage([] { return 0.0699; });
        MaybeOpenHomePage([] { return 0.07; });
        QCOMPARE(launcher.pages.size(), 2);
    }

    void errorTrapShowsTheBoxAndCarriesOn()
    {
        TestPrompter prompter;
        QStringList ran;
        ErrorTrap trap(QStringLiteral("Form1.Form_Load"));
        QVERIFY(trap.line(10, [&] { ran << QStringLiteral("10"); }));
        QVERIFY(!trap.line(20, [&] { throw AppError::typeMismatch(QStringLiteral("x")); }));
        QVERIFY(trap.line(30, [&] { ran << QStringLiteral("30"); }));
        QVERIFY(!trap.line(40, [] { throw std::runtime_error("disk on fire"); }));
        QCOMPARE(ran, (QStringList { QStringLiteral("10"), QStringLiteral("30") }));
        QCOMPARE(prompter.shown().size(), 2);
        const auto& box = prompter.shown().first();
        QCOMPARE(box.title, QStringLiteral("Application Error"));
        QCOMPARE(box.icon, Prompter::Icon::Warning);
        QCOMPARE(box.buttons, Prompter::Buttons::Ok);
        QCOMPARE(box.text.toUtf8(),
                 QByteArray("Type mismatch\r\nin Tessaly2021/08/31.Form1.Form_Load at line 20\r\r"
                            "Please email screenshot of this message to ")
                     + SupportAddress);
        QVERIFY(prompter.shown().last().text.startsWith(QStringLiteral("disk on fire\r\n")));

        ErrorTrap samples(QStringLiteral("AddFolder.GetSubDirectories2016"), QStringLiteral("Pellamy2021/08/31"));
        samples.line(3, [] { throw AppError::overflow({}); });
        QVERIFY(prompter.shown().last().text.contains(
            QStringLiteral("\r\nin Pellamy2021/08/31.AddFolder.GetSubDirectories2016 at line 3\r\r")));
    }
};

QTEST_GUILESS_MAIN(TestRoutines)
#include "TestRoutines.moc"
