#include "base/AppError.h"
#include "history/HistoryFile.h"
#include "history/HistoryLog.h"
#include "support/TempSettings.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

// The log file as other programs see it: bytes on disk.
class TestHistoryLog : public QObject
{
    Q_OBJECT

    TempSettings m_settings;

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(QDir().mkpath(m_settings.tempFolder()));
        SetHistoryFile(HistoryFilePath(QStringLiteral("Tessaly")));
        QFile::remove(HistoryFile());
    }

    void pathComesFromTemp()
    {
        QCOMPARE(HistoryFile(), m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        QCOMPARE(HistoryFilePath(QStringLiteral("Tessaly Backup Software")),
                 m_settings.tempFolder() + QStringLiteral("/TessalyBackup.txt"));
    }

    void entriesAreAppendedWithCrLf()
    {
        AddToHistory(QStringLiteral("first"));
        QCOMPARE(contents(HistoryFile()), QByteArray("first\r\n"));
        AddToHistory(QStringLiteral("second"));
        AddToHistory(QString());
        QCOMPARE(contents(HistoryFile()), QByteArray("first\r\nsecond\r\n\r\n"));
    }

    void fileIsClosedBetweenEntries()
    {
        AddToHistory(QStringLiteral("one"));
        // Another program may delete the log between two entries; the next entry starts a new file.
        QVERIFY(QFile::remove(HistoryFile()));
        AddToHistory(QStringLiteral("two"));
        QCOMPARE(contents(HistoryFile()), QByteArray("two\r\n"));
        // And it may change it: the entry goes after whatever is there now.
        {
            QFile file(HistoryFile());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("edited");
        }
        AddToHistory(QStringLiteral("three"));
        QCOMPARE(contents(HistoryFile()), QByteArray("editedthree\r\n"));
    }

    void writtenInTheLocalEightBitEncoding()
    {
        const QString entry
            = QStringLiteral("Dokumente \u00e4\u00f6\u00fc was backup and zipped as /b/\u00df.zip at x");
        AddToHistory(entry);
        QCOMPARE(contents(HistoryFile()), entry.toLocal8Bit() + "\r\n");
        QCOMPARE(QString::fromLocal8Bit(contents(HistoryFile())), entry + QStringLiteral("\r\n"));
    }

    void entryWordingAndMultiLineReasons()
    {
        QCOMPARE(SuccessEntry(QStringLiteral("Documents"), QStringLiteral("/b/Backup Documents.zip"),
                              QStringLiteral("8/31/21 2:05:00 PM")),
                 QStringLiteral("Documents was backup and zipped as /b/Backup Documents.zip at 8/31/21 2:05:00 PM"));
        QCOMPARE(FailureEntry(QStringLiteral("Documents"), QString(), QStringLiteral("T")),
                 QStringLiteral("Documents was not backup and zipped because , T"));
        // The engine's LF line ends become CR LF, and the date stays on the reason's last line.
        AddToHistory(FailureEntry(QStringLiteral("D"), QStringLiteral("line one\nline two\n"), QStringLiteral("T")));
        QCOMPARE(contents(HistoryFile()),
                 QByteArray("D was not backup and zipped because line one\r\nline two, T\r\n"));
    }

    // Without TEMP the log lives in the state folder; one that older versions left in the cache
    // folder moves there once, its lines before any the new place already holds.
    void withoutTempTheLogMovesOutOfTheCache()
    {
        QTemporaryDir home;
        const QString cache = home.path() + QStringLiteral("/cache");
        const QString state = home.path() + QStringLiteral("/state/Tessaly/Tessaly.txt");
        QVERIFY(QDir().mkpath(cache));
        const QByteArray old = "first\r\nsecond\r\n";
        auto writeOldLog = [&] {
            QFile file(cache + QStringLiteral("/Tessaly.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        };
        writeOldLog();
        const QByteArray temp = qgetenv("TEMP");
        const auto restoreTemp = qScopeGuard([&] { qputenv("TEMP", temp); });
        qunsetenv("TEMP");
        qputenv("XDG_CACHE_HOME", cache.toLocal8Bit());
        qputenv("XDG_STATE_HOME", (home.path() + QStringLiteral("/state")).toLocal8Bit());

        QCOMPARE(HistoryFilePath(QStringLiteral("Tessaly")), state);
        QCOMPARE(contents(state), old);
        QVERIFY(!QFile::exists(cache + QStringLiteral("/Tessaly.txt")));
        SetHistoryFile(state);
        AddToHistory(QStringLiteral("third"));
        // Moved once: a second start finds nothing to move.
        QCOMPARE(HistoryFilePath(QStringLiteral("Tessaly")), state);
        QCOMPARE(contents(state), old + "third\r\n");
        // An old log that turns up beside a new one loses no line either.
        writeOldLog();
        HistoryFilePath(QStringLiteral("Tessaly"));
        QCOMPARE(contents(state), old + old + "third\r\n");
        QVERIFY(!QFile::exists(cache + QStringLiteral("/Tessaly.txt")));

        // With TEMP set the log stays there and the cache is left alone.
        writeOldLog();
        qputenv("TEMP", temp);
        QCOMPARE(HistoryFilePath(QStringLiteral("Tessaly")), m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        QVERIFY(QFile::exists(cache + QStringLiteral("/Tessaly.txt")));
    }

    void unwritableLogRaises()
    {
        SetHistoryFile(m_settings.tempFolder() + QStringLiteral("/no such folder/Tessaly.txt"));
        try {
            AddToHistory(QStringLiteral("lost"));
            QFAIL("no error raised");
        } catch (const AppError& error) {
            QVERIFY2(error.description().contains(HistoryFile()), qPrintable(error.description()));
        }
        // A folder where the log should be is no file either.
        SetHistoryFile(m_settings.tempFolder());
        QVERIFY_THROWS_EXCEPTION(AppError, AddToHistory(QStringLiteral("lost")));
    }
};

QTEST_GUILESS_MAIN(TestHistoryLog)
#include "TestHistoryLog.moc"
