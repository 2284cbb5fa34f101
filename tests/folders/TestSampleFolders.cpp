#include "base/AppError.h"
#include "base/Prompter.h"
#include "folders/SampleFolders.h"
#include "support/TestPrompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

class TestSampleFolders : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestPrompter> m_prompter;

    // The walk's own form of a path: root + "/" (the loader's doubled separator) + relative + "/".
    QString walked(const QString& relative) const { return m_dir->path() + QStringLiteral("//") + relative + u'/'; }
    QString start() const { return m_dir->path() + QStringLiteral("//"); }

    void makeFolders(const QStringList& relatives)
    {
        for (const QString& relative : relatives) {
            QVERIFY2(QDir(m_dir->path()).mkpath(relative), qPrintable(relative));
            QFile file(m_dir->filePath(relative + QStringLiteral("/readme.txt")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("a sample file\n");
        }
    }

    QStringList walk(bool recurse = true)
    {
        QStringList set { start() };
        GetSubDirectories2016(set, recurse);
        return set;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_prompter = std::make_unique<TestPrompter>();
    }

    void cleanup()
    {
        m_prompter.reset();
        m_dir.reset();
    }

    void threeLevelsComeOutLevelByLevel()
    {
        makeFolders({ QStringLiteral("Photos/2020"), QStringLiteral("Docs/Old/Older"), QStringLiteral("Docs/New"),
                      QStringLiteral("apps") });
        QCOMPARE(walk(),
                 (QStringList { start(), walked(QStringLiteral("apps")), walked(QStringLiteral("Docs")),
                                walked(QStringLiteral("Photos")), walked(QStringLiteral("Docs/New")),
                                walked(QStringLiteral("Docs/Old")), walked(QStringLiteral("Photos/2020")),
                                walked(QStringLiteral("Docs/Old/Older")) }));
        QCOMPARE(walk(false),
                 (QStringList { start(), walked(QStringLiteral("apps")), walked(QStringLiteral("Docs")),
                                walked(QStringLiteral("Photos")) }));
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void filesAndMissingFoldersAddNothing()
    {
        QFile file(m_dir->filePath(QStringLiteral("only-a-file.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(walk(), QStringList { start() });

        QStringList missing { m_dir->path() + QStringLiteral("/not-there/") };
        GetSubDirectories2016(missing, true);
        QCOMPARE(missing, QStringList { m_dir->path() + QStringLiteral("/not-there/") });
    }

    void unusualNamesAreNeitherListedNorEntered()
    {
        const QString control = QStringLiteral("bell") + QChar(7);
        const QString c1 = QStringLiteral("next") + QChar(0x85);
        const QString wide = QStringLiteral("omega") + QChar(0x3a9);
        makeFolders({ control + QStringLiteral("/inner"), c1 + QStringLiteral("/inner"),
                      wide + QStringLiteral("/inner"), QStringLiteral("why?/inner"),
                      QStringLiteral("Caf") + QChar(0xe9) + QStringLiteral("/inner"),
                      QStringLiteral("del") + QChar(0x7f), QStringLiteral("nbsp") + QChar(0xa0) });
        // A name that is not valid UTF-8 at all.
        const QByteArray raw = QFile::encodeName(m_dir->path()) + "/latin1-\xe9t\xe9";
        QCOMPARE(::mkdir(raw.constData(), 0755), 0);

        const QString cafe = QStringLiteral("Caf") + QChar(0xe9);
        const QStringList set = walk();
        // The temporary folder cannot remove a name it cannot decode.
        ::rmdir(raw.constData());
        QCOMPARE(set,
                 (QStringList { start(), walked(cafe), walked(QStringLiteral("nbsp") + QChar(0xa0)),
                                walked(cafe + QStringLiteral("/inner")) }));
    }

    void hasUnusualChars_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("unusual");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("plain") << QStringLiteral("Docs 2021 (old)") << false;
        QTest::newRow("latin-1 letters") << QStringLiteral("R") + QChar(0xe9) + QStringLiteral("sum") + QChar(0xff)
                                         << false;
        QTest::newRow("tab") << QStringLiteral("a\tb") << true;
        QTest::newRow("31") << QString(QChar(31)) << true;
        QTest::newRow("32") << QStringLiteral(" ") << false;
        QTest::newRow("126") << QStringLiteral("~") << false;
        QTest::newRow("127") << QString(QChar(127)) << true;
        QTest::newRow("159") << QString(QChar(159)) << true;
        QTest::newRow("160") << QString(QChar(160)) << false;
        QTest::newRow("255") << QString(QChar(255)) << false;
        QTest::newRow("256") << QString(QChar(256)) << true;
        QTest::newRow("question mark") << QStringLiteral("what?") << true;
        QTest::newRow("emoji") << QStringLiteral("fun ") + QString::fromUcs4(U"\U0001F600") << true;
    }

    void hasUnusualChars()
    {
        QFETCH(QString, name);
        QFETCH(bool, unusual);
        QCOMPARE(HasUnusualChars(name), unusual);
    }

    void dotFoldersAreHiddenButNotSystem()
    {
        makeFolders({ QStringLiteral(".config/inner"), QStringLiteral("Docs") });
        const quint32 attributes = FolderAttributes(walked(QStringLiteral(".config")));
        QVERIFY(attributes & FolderAttribute::Hidden);
        QVERIFY(attributes & FolderAttribute::Directory);
        QVERIFY(!(attributes & FolderAttribute::System));
        QVERIFY(!(FolderAttributes(walked(QStringLiteral("Docs"))) & FolderAttribute::Hidden));
        // Only exactly hidden + system + directory is skipped, and Linux has no system folders.
        QCOMPARE(walk(),
                 (QStringList { start(), walked(QStringLiteral(".config")), walked(QStringLiteral("Docs")),
                                walked(QStringLiteral(".config/inner")) }));
    }

    void exactAttributeRule()
    {
        makeFolders({ QStringLiteral("Sys/inner"), QStringLiteral("SysArchive/inner"), QStringLiteral("Junction/inner"),
                      QStringLiteral("Plain") });
        const auto reader = [](const QString& path) -> quint32 {
            const QString name = QDir(path).dirName();
            if (name == u"Sys")
                return 22;
            if (name == u"SysArchive")
                return 54;
            if (name == u"Junction")
                return 1046;
            return FolderAttributes(path);
        };
        QStringList set { start() };
        GetSubDirectories2016(set, true, reader);
        QCOMPARE(set,
                 (QStringList { start(), walked(QStringLiteral("Plain")), walked(QStringLiteral("SysArchive")),
                                walked(QStringLiteral("SysArchive/inner")) }));
        QVERIFY(IsHiddenSystemFolder(22));
        QVERIFY(IsHiddenSystemFolder(1046));
        QVERIFY(!IsHiddenSystemFolder(23));
        QVERIFY(!IsHiddenSystemFolder(18));
    }

    void folderThatVanishesIsTakenOut()
    {
        makeFolders({ QStringLiteral("Gone/inner"), QStringLiteral("Kept/inner") });
        QStringList set { walked(QStringLiteral("Gone")), walked(QStringLiteral("Kept")) };
        // The walk lets window events run before it looks into a folder: the folder goes then.
        QTimer::singleShot(0, this,
                           [this] { QVERIFY(QDir(m_dir->filePath(QStringLiteral("Gone"))).removeRecursively()); });
        GetSubDirectories2016(set, true);
        QCOMPARE(set, (QStringList { walked(QStringLiteral("Kept")), walked(QStringLiteral("Kept/inner")) }));
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void folderThatCannotBeListedIsTakenOut()
    {
        if (::geteuid() == 0)
            QSKIP("root lists every folder; the vanishing folder covers the removal");
        makeFolders({ QStringLiteral("Locked/inner"), QStringLiteral("Open/inner") });
        const QString locked = m_dir->filePath(QStringLiteral("Locked"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        const QStringList set = walk();
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(set, (QStringList { start(), walked(QStringLiteral("Open")), walked(QStringLiteral("Open/inner")) }));
    }

    void otherFailuresShowTheBoxAndTheWalkGoesOn()
    {
        makeFolders({ QStringLiteral("Bad/inner"), QStringLiteral("Good/inner") });
        const auto reader = [](const QString& path) -> quint32 {
            if (QDir(path).dirName() == u"Bad")
                throw AppError::invalidProcedureCall(QStringLiteral("test"));
            return FolderAttributes(path);
        };
        QStringList set { start() };
        GetSubDirectories2016(set, true, reader);
        QCOMPARE(set, (QStringList { start(), walked(QStringLiteral("Good")), walked(QStringLiteral("Good/inner")) }));
        QVERIFY(!m_prompter->shown().isEmpty());
        const TestPrompter::Shown box = m_prompter->shown().first();
        QCOMPARE(box.title, QStringLiteral("Application Error"));
        QCOMPARE(box.icon, Prompter::Icon::Warning);
        QVERIFY2(box.text.contains(QStringLiteral("\r\nin Pellamy2021/08/31.AddFolder.GetSubDirectories2016 at line ")),
                 qPrintable(box.text));
    }

    void longPathsAreNotEntered()
    {
        // Two nested names of 150 characters make a path beyond 260 characters.
        const QString a(150, u'a');
        const QString b(150, u'b');
        makeFolders({ a + u'/' + b + QStringLiteral("/deeper") });
        const QStringList set = walk();
        QCOMPARE(set, (QStringList { start(), walked(a), walked(a + u'/' + b) }));
        QVERIFY(walked(a + u'/' + b).size() >= 260);
    }

    void linksBackUpTheTreeAreNotFollowed()
    {
        makeFolders({ QStringLiteral("Docs") });
        QVERIFY(QFile::link(m_dir->path(), m_dir->filePath(QStringLiteral("Docs/up"))));
        QVERIFY(QFile::link(m_dir->path(), m_dir->filePath(QStringLiteral("Docs/up-again"))));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("Docs")), m_dir->filePath(QStringLiteral("same-docs"))));
        QVERIFY(FolderAttributes(walked(QStringLiteral("same-docs"))) & FolderAttribute::ReparsePoint);
        QVERIFY(!(FolderAttributes(walked(QStringLiteral("Docs"))) & FolderAttribute::ReparsePoint));
        const QStringList set = walk();
        QCOMPARE(set, (QStringList { start(), walked(QStringLiteral("Docs")) }));
    }
};

QTEST_GUILESS_MAIN(TestSampleFolders)
#include "TestSampleFolders.moc"
