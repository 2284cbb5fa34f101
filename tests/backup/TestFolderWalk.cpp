#include "backup/FolderWalk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The walk over real folder trees.
class TestFolderWalk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString root() const { return m_dir.path() + QStringLiteral("/R/"); }

    void makeFolders(const QStringList& relative)
    {
        for (const QString& path : relative)
            QVERIFY(QDir().mkpath(root() + path));
    }

    void makeFile(const QString& relative)
    {
        QFile file(root() + relative);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    QStringList prefixed(const QStringList& relative) const
    {
        QStringList result;
        for (const QString& path : relative)
            result.append(root() + path);
        return result;
    }

private Q_SLOTS:
    void init()
    {
        QDir(root()).removeRecursively();
        QVERIFY(QDir().mkpath(root()));
    }

    void descendantsComeBeforeTheirFolder()
    {
        makeFolders({ QStringLiteral("A/A1/X"), QStringLiteral("A/A2"), QStringLiteral("B") });
        makeFile(QStringLiteral("top.txt"));
        makeFile(QStringLiteral("A/inA.txt"));
        QStringList result { QStringLiteral("kept") };
        CollectSubFolders(root(), result, true);
        QCOMPARE(result,
                 QStringList { QStringLiteral("kept") }
                     + prefixed({ QStringLiteral("A/A1/X/"), QStringLiteral("A/A1/"), QStringLiteral("A/A2/"),
                                  QStringLiteral("A/"), QStringLiteral("B/") }));
    }

    void withoutRecursionOnlyDirectChildren()
    {
        makeFolders({ QStringLiteral("A/A1"), QStringLiteral("B"), QStringLiteral("C") });
        QStringList result;
        CollectSubFolders(root(), result, false);
        QCOMPARE(result, prefixed({ QStringLiteral("A/"), QStringLiteral("B/"), QStringLiteral("C/") }));
    }

    void filesAndHiddenFoldersNeverEnter()
    {
        makeFolders({ QStringLiteral(".hidden/inside/deeper"), QStringLiteral("Shown/.secret/below"),
                      QStringLiteral("Shown/plain") });
        makeFile(QStringLiteral("a.txt"));
        makeFile(QStringLiteral(".dotfile"));
        makeFile(QStringLiteral("Shown/b.txt"));
        QStringList result;
        CollectSubFolders(root(), result, true);
        QCOMPARE(result, prefixed({ QStringLiteral("Shown/plain/"), QStringLiteral("Shown/") }));
    }

    void emptyMissingAndFileStartsGiveNothing()
    {
        QStringList result;
        CollectSubFolders(root(), result, true);
        QVERIFY(result.isEmpty());
        CollectSubFolders(root() + QStringLiteral("missing/"), result, true);
        QVERIFY(result.isEmpty());
        makeFile(QStringLiteral("file"));
        CollectSubFolders(root() + QStringLiteral("file/"), result, true);
        QVERIFY(result.isEmpty());
    }

    void oneTrailingSeparatorWhateverTheStart()
    {
        makeFolders({ QStringLiteral("Old") });
        QStringList result;
        // A start joined with one separator too many still yields clean paths.
        CollectSubFolders(m_dir.path() + QStringLiteral("//R//"), result, true);
        QCOMPARE(result, QStringList { QDir::cleanPath(m_dir.path()) + QStringLiteral("/R/Old/") });
    }

    void linksBackUpTheTreeDoNotLoop()
    {
        makeFolders({ QStringLiteral("A/B"), QStringLiteral("C") });
        // A link to the start, a link to an ancestor and a second name for a folder already found.
        QVERIFY(QFile::link(root(), root() + QStringLiteral("A/B/toRoot")));
        QVERIFY(QFile::link(root() + QStringLiteral("A"), root() + QStringLiteral("A/B/toA")));
        QVERIFY(QFile::link(root() + QStringLiteral("C"), root() + QStringLiteral("A/toC")));
        QStringList result;
        CollectSubFolders(root(), result, true);
        QCOMPARE(result, prefixed({ QStringLiteral("A/B/"), QStringLiteral("A/"), QStringLiteral("C/") }));
    }

    void linkToAFolderOutsideIsEnteredOnce()
    {
        const QString outside = m_dir.path() + QStringLiteral("/Outside/");
        QVERIFY(QDir().mkpath(outside + QStringLiteral("Inner")));
        QVERIFY(QFile::link(outside, root() + QStringLiteral("L1")));
        QVERIFY(QFile::link(outside, root() + QStringLiteral("L2")));
        QStringList result;
        CollectSubFolders(root(), result, true);
        QCOMPARE(result, prefixed({ QStringLiteral("L1/Inner/"), QStringLiteral("L1/") }));
        QDir(outside).removeRecursively();
    }

    void brokenLinkIsIgnored()
    {
        makeFolders({ QStringLiteral("Real") });
        QVERIFY(QFile::link(root() + QStringLiteral("gone"), root() + QStringLiteral("Dangling")));
        QStringList result;
        CollectSubFolders(root(), result, true);
        QCOMPARE(result, prefixed({ QStringLiteral("Real/") }));
    }

    // The window keeps handling events while a large tree is walked.
    void yieldsToTheEventLoop()
    {
        QStringList folders;
        for (int i = 0; i < 30; ++i)
            folders.append(QStringLiteral("F%1/G").arg(i, 2, 10, QLatin1Char('0')));
        makeFolders(folders);
        int ticks = 0;
        QTimer timer;
        timer.setInterval(0);
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start();
        QStringList result;
        CollectSubFolders(root(), result, true);
        timer.stop();
        QCOMPARE(result.size(), 60);
        QCOMPARE(result.first(), root() + QStringLiteral("F00/G/"));
        QCOMPARE(result.last(), root() + QStringLiteral("F29/"));
        QVERIFY2(ticks > 0, "no event was handled during the walk");
    }

    // A close during the walk ends it at once: once the cancel is seen, no further event is let
    // through and nothing more is listed.
    void cancelEndsTheWalkAtOnce()
    {
        QStringList folders;
        for (int i = 0; i < 30; ++i)
            folders.append(QStringLiteral("F%1/G").arg(i));
        makeFolders(folders);
        bool cancelled = false;
        int ticksAfterCancel = 0;
        QTimer timer;
        timer.setInterval(0);
        connect(&timer, &QTimer::timeout, this, [&] {
            ticksAfterCancel += cancelled ? 1 : 0;
            cancelled = true;
        });
        timer.start();
        QStringList result;
        CollectSubFolders(root(), result, true, [&] { return cancelled; });
        timer.stop();
        QVERIFY(cancelled);
        QCOMPARE(ticksAfterCancel, 0);
        QVERIFY2(result.size() < 60, qPrintable(QString::number(result.size())));
    }
};

QTEST_GUILESS_MAIN(TestFolderWalk)
#include "TestFolderWalk.moc"
