#include "base/SettingsStore.h"
#include "support/TempSettings.h"

#include <QFile>
#include <QSettings>
#include <QTest>

using namespace SettingsStore;

class TestSettingsStore : public QObject
{
    Q_OBJECT
    TempSettings m_settings;

private Q_SLOTS:
    void init() { m_settings.clear(); }

    void absentKeyGivesTheDefault()
    {
        QCOMPARE(ReadSetting(QStringLiteral("Text1"), QStringLiteral("Backup")), QStringLiteral("Backup"));
        QCOMPARE(ReadSetting(QStringLiteral("OftenIndex"), 7), QStringLiteral("7"));
        QCOMPARE(ReadSetting(SettingsKeys::AutoBackup), QStringLiteral("On"));
        QCOMPARE(ReadSetting(SettingsKeys::Folders), QString());
        QVERIFY(!QFile::exists(m_settings.storeFile()));
    }

    void emptyValueIsNotTheDefault()
    {
        WriteSetting(SettingsKeys::Prefix, QString());
        WriteSetting(SettingsKeys::BackupFolder, QString());
        QCOMPARE(ReadSetting(SettingsKeys::Prefix), QString());
        QCOMPARE(ReadSetting(QStringLiteral("Path"), QStringLiteral("/home/x/Desktop/")), QString());
    }

    void everyWriteReachesTheDiskAtOnce()
    {
        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("On"));
        // Read the file as another process would, bypassing this process's cache.
        QSettings onDisk(m_settings.storeFile(), QSettings::IniFormat);
        QCOMPARE(onDisk.value(QStringLiteral("Minimized")).toString(), QStringLiteral("On"));
        QVERIFY(m_settings.storeFile().endsWith(QStringLiteral("/Quarnell/Tessaly.conf")));
    }

    void valuesComeBackExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("folders") << QStringLiteral("/home/ann/Docs;/srv/a b/;");
        QTest::newRow("commas") << QStringLiteral("a, b,c");
        QTest::newRow("at sign") << QStringLiteral("@Variant(x)");
        QTest::newRow("quotes and backslashes") << QStringLiteral("\"C:\\\\Data\\\" '=;#");
        QTest::newRow("lower-case on") << QStringLiteral("on");
        QTest::newRow("non-ascii") << QStringLiteral("Ünïcødé Ordner 文件");
        QTest::newRow("newlines") << QStringLiteral("line1\nline2\r\n");
        QTest::newRow("long") << QString(100000, u'x');
    }

    void valuesComeBackExactly()
    {
        QFETCH(QString, value);
        WriteSetting(SettingsKeys::Folders, value);
        QCOMPARE(ReadSetting(SettingsKeys::Folders), value);
    }

    void handEditedListReadsAsText()
    {
        QFile file(m_settings.storeFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nText1=Daily, Weekly\n");
        file.close();
        QCOMPARE(ReadSetting(SettingsKeys::Prefix), QStringLiteral("Daily, Weekly"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
