#include "FakeTrayBackend.h"
#include "base/SettingsStore.h"
#include "desktop/AutostartStore.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTest>
#include <memory>

using SettingsStore::ReadSetting;
using SettingsStore::WriteSetting;

namespace {

// The desktop entry's lines as key and value, read the way a session reads them.
QMap<QString, QString> readEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> entry;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0)
            entry.insert(line.left(equals), line.mid(equals + 1));
        else
            entry.insert(line, QString());
    }
    return entry;
}

// The string-value escapes of the desktop entry format.
QString unescapeString(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        out += next == u's' ? QChar(u' ')
            : next == u'n'  ? QChar(u'\n')
            : next == u't'  ? QChar(u'\t')
            : next == u'r'  ? QChar(u'\r')
                            : next;
    }
    return out;
}

// Splits an Exec= value into its arguments: blanks separate, double quotes group, and inside them a
// backslash takes the next character literally; "%%" is a percent sign.
QStringList execArguments(const QString& value)
{
    const QString line = unescapeString(value);
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < line.size())
                current += line[++i];
            else if (c == u'"')
                quoted = false;
            else if (c == u'%' && i + 1 < line.size() && line[i + 1] == u'%')
                current += line[++i];
            else
                current += c;
        } else if (c == u' ') {
            if (any)
                arguments << current;
            current.clear();
            any = false;
        } else if (c == u'"') {
            quoted = true;
            any = true;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments << current;
    return arguments;
}

} // namespace

class TestStartWithSystem : public WindowTest
{
    Q_OBJECT
    FakeTrayFactory m_tray;

    QString autostartFile() const
    {
        return m_settings.configHome() + QStringLiteral("/autostart/")
            + QFileInfo(QCoreApplication::applicationFilePath()).fileName() + QStringLiteral(".desktop");
    }

private Q_SLOTS:
    void init()
    {
        beginTest();
        QDir(m_settings.configHome() + QStringLiteral("/autostart")).removeRecursively();
        QFile::remove(m_settings.configHome() + QStringLiteral("/autostart"));
    }

    void cleanup() { endTest(); }

    void checkingRegistersTheRunningProgram()
    {
        auto window = load();
        QVERIFY(!QFile::exists(autostartFile()));
        window->controls().startWithSystemBox->click();
        QVERIFY(window->controls().startWithSystemBox->isChecked());
        QVERIFY(!window->controls().startInTrayBox->isHidden());
        QCOMPARE(ReadSetting(SettingsKeys::StartWithSystem), QStringLiteral("On"));

        const auto entry = readEntry(autostartFile());
        QVERIFY2(!entry.isEmpty(), qPrintable(autostartFile()));
        const QString program = QCoreApplication::applicationFilePath();
        QVERIFY(QFileInfo(program).isAbsolute());
        QVERIFY(entry.contains(QStringLiteral("[Desktop Entry]")));
        QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
        QCOMPARE(entry.value(QStringLiteral("Name")), QStringLiteral("Tessaly"));
        QCOMPARE(entry.value(QStringLiteral("Exec")), u'"' + program + u'"');
        QCOMPARE(entry.value(QStringLiteral("TryExec")), program);
        QCOMPARE(entry.value(QStringLiteral("X-GNOME-Autostart-enabled")), QStringLiteral("true"));
        QCOMPARE(entry.value(QStringLiteral("X-LXQt-Need-Tray")), QStringLiteral("true"));
        QVERIFY(!entry.value(QStringLiteral("Icon")).isEmpty());
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void uncheckingRemovesAndTakesStartInTrayAlong()
    {
        auto window = load();
        window->controls().startWithSystemBox->click();
        window->controls().startInTrayBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::StartInTray), QStringLiteral("On"));
        QVERIFY(QFile::exists(autostartFile()));

        window->controls().startWithSystemBox->click();
        QVERIFY(!window->controls().startInTrayBox->isChecked());
        QVERIFY(window->controls().startInTrayBox->isHidden());
        QCOMPARE(ReadSetting(SettingsKeys::StartInTray), QStringLiteral("Off"));
        QCOMPARE(ReadSetting(SettingsKeys::StartWithSystem), QStringLiteral("Off"));
        QVERIFY(!QFile::exists(autostartFile()));

        // Checking again offers the option again, unchecked.
        window->controls().startWithSystemBox->click();
        QVERIFY(!window->controls().startInTrayBox->isHidden());
        QVERIFY(!window->controls().startInTrayBox->isChecked());
        QVERIFY(QFile::exists(autostartFile()));
    }

    void startUpLeavesTheRegistrationAlone()
    {
        QVERIFY(QDir().mkpath(QFileInfo(autostartFile()).path()));
        QFile stale(autostartFile());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("[Desktop Entry]\nExec=/old/place/tessaly\n");
        stale.close();

        WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("Off"));
        {
            auto window = load();
            QVERIFY(!window->controls().startWithSystemBox->isChecked());
        }
        WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("On"));
        auto window = load();
        QVERIFY(window->controls().startWithSystemBox->isChecked());
        QCOMPARE(readEntry(autostartFile()).value(QStringLiteral("Exec")), QStringLiteral("/old/place/tessaly"));

        // The user's own click writes the entry of the program as it is now.
        window->controls().startWithSystemBox->click();
        window->controls().startWithSystemBox->click();
        QCOMPARE(execArguments(readEntry(autostartFile()).value(QStringLiteral("Exec"))),
                 QStringList { QCoreApplication::applicationFilePath() });
    }

    void failuresToWriteAreSilent()
    {
        // A file where the autostart folder should be: nothing can be written or removed there.
        QFile blocker(m_settings.configHome() + QStringLiteral("/autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto window = load();
        window->controls().startWithSystemBox->click();
        QVERIFY(window->controls().startWithSystemBox->isChecked());
        QCOMPARE(ReadSetting(SettingsKeys::StartWithSystem), QStringLiteral("On"));
        window->controls().startWithSystemBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::StartWithSystem), QStringLiteral("Off"));
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void anyProgramPathSurvivesTheEntry_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("blank") << QStringLiteral("/opt/Quarnell Tools/tessaly");
        QTest::newRow("quotes and dollar") << QStringLiteral("/home/ann/\"odd\" $HOME/`x`/tessaly");
        QTest::newRow("backslash") << QStringLiteral("/srv/back\\slash\\/tessaly");
        QTest::newRow("percent") << QStringLiteral("/srv/100%/%f %U/tessaly");
        QTest::newRow("line break") << QStringLiteral("/srv/two\nlines\tand tab/tessaly");
        QTest::newRow("non-ASCII") << QStringLiteral(u"/home/zoë/Programme/ţessaly");
    }

    void anyProgramPathSurvivesTheEntry()
    {
        QFETCH(QString, path);
        const QString text = QString::fromUtf8(AutostartStore::EntryText(path, QStringLiteral("/icons/t.png")));
        // One key per line: a line break in the path must not start a new key.
        for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(u'[') || line.contains(u'='), qPrintable(line));
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(text.toUtf8());
        file.close();
        const auto entry = readEntry(file.fileName());
        QCOMPARE(execArguments(entry.value(QStringLiteral("Exec"))), QStringList { path });
        QCOMPARE(unescapeString(entry.value(QStringLiteral("TryExec"))), path);
        QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("/icons/t.png"));
    }
};

QTEST_MAIN(TestStartWithSystem)
#include "TestStartWithSystem.moc"
