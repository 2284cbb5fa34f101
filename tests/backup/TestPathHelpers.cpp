#include "backup/ArchiveName.h"
#include "backup/Clock.h"
#include "backup/PathHelpers.h"
#include "backup/TestClock.h"

#include <QLocale>
#include <QTest>

// The path helpers and the naming rule are pure text: the Windows rules are checked with "\" and
// the Linux ones with "/" on any machine.
class TestPathHelpers : public QObject
{
    Q_OBJECT

    static QString w(const char* text) { return QString::fromLatin1(text); }

private Q_SLOTS:
    void collapseWithBackslash_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("doubled inside") << w(R"(D:\Backups\\A.zip)") << w(R"(D:\Backups\A.zip)");
        QTest::newRow("network path kept") << w(R"(\\server\share\A.zip)") << w(R"(\\server\share\A.zip)");
        QTest::newRow("three leading") << w(R"(\\\server\A)") << w(R"(\\server\A)");
        QTest::newRow("one leading") << w(R"(\Backups)") << w(R"(\\Backups)");
        QTest::newRow("only separators") << w(R"(\\\\\)") << w(R"(\\)");
        QTest::newRow("three inside leave two") << w(R"(C:\a\\\b)") << w(R"(C:\a\\b)");
        QTest::newRow("four inside leave two") << w(R"(C:\a\\\\b)") << w(R"(C:\a\\b)");
        QTest::newRow("leading rest collapsed once") << w(R"(\\\srv\\x\\\y)") << w(R"(\\srv\x\\y)");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("forward slashes untouched") << w("C://a") << w("C://a");
    }
    void collapseWithBackslash()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(CollapseBackslashes(path, u'\\'), expected);
    }

    void collapseWithSlash_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("doubled inside") << w("/home/ann//Backups//A.zip") << w("/home/ann/Backups/A.zip");
        QTest::newRow("leading pair") << w("//home/ann") << w("/home/ann");
        QTest::newRow("leading run") << w("////srv/x") << w("/srv/x");
        QTest::newRow("only separators") << w("///") << w("/");
        QTest::newRow("relative") << w("Backups//A.zip") << w("Backups/A.zip");
        QTest::newRow("backslash is a name character") << w(R"(/a\\b)") << w(R"(/a\\b)");
    }
    void collapseWithSlash()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(CollapseBackslashes(path, u'/'), expected);
    }

    void lastPathPart()
    {
        QCOMPARE(LastPathPart(w(R"(C:\Users\Ann\Documents)"), u'\\'), w("Documents"));
        QCOMPARE(LastPathPart(w("C:"), u'\\'), w("C:"));
        QCOMPARE(LastPathPart(w(R"(C:\Data\)"), u'\\'), QString());
        QCOMPARE(LastPathPart(QString(), u'\\'), QString());
        QCOMPARE(LastPathPart(w("/home/ann/Documents"), u'/'), w("Documents"));
        QCOMPARE(LastPathPart(w("/home/ann/"), u'/'), QString());
        QCOMPARE(LastPathPart(w(R"(/home/a\b)"), u'/'), w(R"(a\b)"));
        QCOMPARE(LastPathPart(w("/home/ann/Docs")), w("Docs"));
    }

    void stampsIgnoreTheLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDate day(2021, 8, 31);
        QCOMPARE(DateStamp(QDateTime(day, QTime(14, 5))), w("2021-08-31"));
        QCOMPARE(DateStamp(QDateTime(QDate(987, 1, 2), QTime(0, 0))), w("0987-01-02"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(14, 5, 59))), w("02-05-PM"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(0, 0))), w("12-00-AM"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(0, 59))), w("12-59-AM"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(1, 7))), w("01-07-AM"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(11, 59))), w("11-59-AM"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(12, 0))), w("12-00-PM"));
        QCOMPARE(TimeStamp(QDateTime(day, QTime(23, 30))), w("11-30-PM"));
        QLocale::setDefault(saved);
    }

    void workedExampleName()
    {
        const QDateTime moment(QDate(2021, 8, 31), QTime(14, 5));
        const QString folderPath = FolderPathOf(w(R"(C:\Users\Ann\Documents\)"), u'\\');
        QCOMPARE(folderPath, w(R"(C:\Users\Ann\Documents)"));
        const QString name = LastPathPart(folderPath, u'\\');
        const QString base = ArchiveBaseName(w("Backup"), DateStamp(moment), TimeStamp(moment), name);
        QCOMPARE(base, w("Backup 2021-08-31 02-05-PM Documents"));
        QCOMPARE(ArchivePath(w(R"(D:\Backups)"), base, u'\\'),
                 w(R"(D:\Backups\Backup 2021-08-31 02-05-PM Documents.zip)"));
        QCOMPARE(ArchivePath(w(R"(D:\Backups\)"), w("Name"), u'\\'), w(R"(D:\Backups\Name.zip)"));
        QCOMPARE(ArchivePath(w(R"(\\server\share)"), w("Name"), u'\\'), w(R"(\\server\share\Name.zip)"));
        QCOMPARE(ArchivePath(w("/srv/backups/"), w("Name"), u'/'), w("/srv/backups/Name.zip"));
    }

    void baseNameBlanksAndEmptyParts()
    {
        QCOMPARE(ArchiveBaseName(QString(), QString(), QString(), w("Documents")), w("Documents"));
        QCOMPARE(ArchiveBaseName(QString(), w("2021-08-31"), QString(), w("Documents")), w("2021-08-31 Documents"));
        QCOMPARE(ArchiveBaseName(w("  Daily  "), QString(), QString(), w("Documents")), w("Daily Documents"));
        QCOMPARE(ArchiveBaseName(w(" Daily "), w("2021-08-31"), w("02-05-PM"), w("Docs")),
                 w("Daily 2021-08-31 02-05-PM Docs"));
        QCOMPARE(ArchiveBaseName(w("My  Daily"), QString(), QString(), w("Docs")), w("My  Daily Docs"));
        QCOMPARE(ArchiveBaseName(w("   "), QString(), w("02-05-PM"), w("Docs")), w("02-05-PM Docs"));
        // An entry that ended in two separators has an empty name: the stamps or the prefix end it.
        const QString folderPath = FolderPathOf(w("/home/ann/Docs//"), u'/');
        QCOMPARE(folderPath, w("/home/ann/Docs/"));
        QCOMPARE(ArchiveBaseName(w("Backup"), w("2021-08-31"), QString(), LastPathPart(folderPath, u'/')),
                 w("Backup 2021-08-31"));
        // A drive root keeps its colon in the name.
        QCOMPARE(LastPathPart(FolderPathOf(w(R"(C:\)"), u'\\'), u'\\'), w("C:"));
        // Only blanks are trimmed; a tab typed into the prefix stays.
        QCOMPARE(ArchiveBaseName(w("\tX"), QString(), QString(), w("D")), w("\tX D"));
    }

    void regionalDateTimeAndClock()
    {
        const QDateTime moment(QDate(2021, 8, 31), QTime(14, 5, 7));
        const QString text = RegionalDateTime(moment);
        const QLocale locale = QLocale::system();
        QVERIFY2(text.startsWith(locale.toString(moment.date(), QLocale::ShortFormat) + u' '), qPrintable(text));
        QVERIFY2(text.contains(u'5') && text.contains(QStringLiteral("07")), qPrintable(text));
        {
            TestClock clock(moment);
            clock.setStepSeconds(60);
            QCOMPARE(Clock::currentDateTime(), moment);
            QCOMPARE(CurrentDateTimeText(), RegionalDateTime(moment.addSecs(60)));
        }
        // Without a test clock the system's time is back.
        QVERIFY(qAbs(Clock::currentDateTime().secsTo(QDateTime::currentDateTime())) < 3600);
    }
};

QTEST_GUILESS_MAIN(TestPathHelpers)
#include "TestPathHelpers.moc"
