#include "base/FileRoutines.h"
#include "base/SettingsStore.h"
#include "base/Twips.h"
#include "base/WindowTimer.h"
#include "desktop/TrayIcon.h"
#include "folders/FolderListView.h"
#include "history/HistoryFile.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTreeWidget>
#include <memory>

using SettingsStore::ReadSetting;
using SettingsStore::WriteSetting;

class TestMainWindow : public WindowTest
{
    Q_OBJECT

private Q_SLOTS:
    void init() { beginTest(); }

    void cleanup() { endTest(); }

    void everyControlInItsPlace()
    {
        MainWindow window;
        struct Expected
        {
            const char* name;
            const char* parent;
            int l, t, w, h;
        };
        const Expected table[] = {
            { "statusFrame", "mainWindow", 120, 60, 7800, 850 },
            { "progressBar", "statusFrame", 240, 300, 7320, 405 },
            { "folderList", "mainWindow", 120, 1020, 7800, 2805 },
            { "addFolderButton", "mainWindow", 120, 3910, 7800, 405 },
            { "clearListButton", "mainWindow", 120, 4420, 3840, 405 },
            { "loadSamplesButton", "mainWindow", 4080, 4420, 3840, 405 },
            { "optionsFrame", "mainWindow", 120, 4905, 7800, 1035 },
            { "startWithSystemBox", "optionsFrame", 240, 300, 3690, 255 },
            { "startInTrayBox", "optionsFrame", 240, 645, 2100, 255 },
            { "restoreButton", "optionsFrame", 4380, 600, 3300, 375 },
            { "fileNameFrame", "mainWindow", 120, 6020, 7800, 1425 },
            { "prefixEdit", "fileNameFrame", 240, 330, 7335, 345 },
            { "dateStampBox", "fileNameFrame", 240, 735, 4020, 255 },
            { "timeStampBox", "fileNameFrame", 240, 1020, 3690, 255 },
            { "intervalList", "mainWindow", 8040, 120, 7800, 4410 },
            { "backupFolderFrame", "mainWindow", 8040, 4620, 7800, 1300 },
            { "backupFolderEdit", "backupFolderFrame", 240, 300, 6615, 345 },
            { "chooseBackupFolderButton", "backupFolderFrame", 6960, 300, 600, 345 },
            { "viewBackupFolderButton", "backupFolderFrame", 240, 750, 7320, 405 },
            { "autoBackupButton", "mainWindow", 8040, 6030, 3840, 405 },
            { "backupNowButton", "mainWindow", 12000, 6030, 3840, 405 },
            { "viewHistoryButton", "mainWindow", 8040, 6540, 3840, 405 },
            { "copyHistoryButton", "mainWindow", 12000, 6540, 3840, 405 },
            { "helpButton", "mainWindow", 8040, 7050, 3840, 405 },
            { "clearHistoryButton", "mainWindow", 12000, 7050, 3840, 405 },
        };
        for (const Expected& e : table) {
            auto* control = window.findChild<QWidget*>(QLatin1String(e.name));
            QVERIFY2(control, e.name);
            QCOMPARE(control->parentWidget()->objectName(), QLatin1String(e.parent));
            QCOMPARE(control->geometry(), TwipsRect(e.l, e.t, e.w, e.h));
        }
        QCOMPARE(window.size(), QSize(TwipsToPixels(15960), TwipsToPixels(7545)));
        QCOMPARE(window.font().family(), QStringLiteral("Arial"));

        QCOMPARE(window.controls().statusFrame->title(), QStringLiteral("Next backup will occur in xx:xx:xx"));
        QCOMPARE(window.controls().progressBar->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(window.controls().autoBackupButton->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(window.controls().backupNowButton->text(), QStringLiteral("Zip And Backup Now (Test)"));
        QCOMPARE(window.controls().loadSamplesButton->text(), QStringLiteral("Load Sample/Example Folders"));
        QCOMPARE(window.controls().backupFolderFrame->title(), QStringLiteral("Save All Backups To This Folder"));
        QCOMPARE(window.controls().fileNameFrame->title(), QStringLiteral("Backup Filename (Prefix)"));
        QCOMPARE(window.controls().startWithSystemBox->text(), QStringLiteral("Load this software on Windows startup"));
        QCOMPARE(window.controls().prefixEdit->text(), QStringLiteral("Text1"));
        QCOMPARE(window.controls().backupFolderEdit->text(), QStringLiteral("Text1"));
        QVERIFY(!window.controls().dateStampBox->isChecked() && !window.controls().timeStampBox->isChecked()
                && !window.controls().startWithSystemBox->isChecked()
                && !window.controls().startInTrayBox->isChecked());
        QCOMPARE(window.controls().folderList->toolTip(),
                 QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line to right "
                                "and out of window to reveal full names."));
        QCOMPARE(window.controls().countdownTimer->interval(), 0);
    }

    void firstStartRunsOnDefaults()
    {
        auto window = load();
        QVERIFY(m_prompter->shown().isEmpty());
        QVERIFY(!window->isLoading());
        QCOMPARE(window->windowTitle(), QStringLiteral("Tessaly"));
        QCOMPARE(window->controls().folderList->entryCount(), 0);
        QCOMPARE(window->controls().folderList->headerItem()->text(0), QStringLiteral("Folder(s) To Zip And Backup"));
        QCOMPARE(window->controls().backupFolderEdit->text(), DesktopFolder());
        QCOMPARE(window->controls().intervalList->topLevelItemCount(), 15);
        QCOMPARE(window->controls().intervalList->currentItem()->text(0), QStringLiteral("Backup every 15 minutes"));
        QCOMPARE(window->controls().intervalList->headerItem()->text(0),
                 QStringLiteral("How often would you like to backup?"));
        QCOMPARE(window->controls().autoBackupButton->text(), QStringLiteral("Turn Off Auto Zip And Backup"));
        QCOMPARE(window->controls().countdownTimer->interval(), 1000);
        QVERIFY(window->controls().trayIcon->isInTray());
        QCOMPARE(window->controls().trayIcon->tip(), QStringLiteral("Tessaly"));
        QVERIFY(!window->controls().startWithSystemBox->isChecked());
        QVERIFY(!window->controls().startInTrayBox->isChecked());
        QCOMPARE(window->controls().prefixEdit->text(), QStringLiteral("Backup"));
        QCOMPARE(window->controls().dateStampBox->checkState(), Qt::Checked);
        QCOMPARE(window->controls().timeStampBox->checkState(), Qt::Checked);
        QCOMPARE(HistoryFile(), m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        QVERIFY(window->hasCustomPointer());

        // Restores write back what differs from the design values, and nothing else.
        QStringList keys = m_settings.storedKeys();
        keys.sort();
        QCOMPARE(keys,
                 (QStringList { QStringLiteral("Check1"), QStringLiteral("Check2"), QStringLiteral("Path"),
                                QStringLiteral("Text1") }));
        QCOMPARE(ReadSetting(SettingsKeys::BackupFolder), DesktopFolder());
        QCOMPARE(ReadSetting(SettingsKeys::DateStamp), QStringLiteral("1"));

        window->close();
        QVERIFY(m_settings.storedKeys().contains(QStringLiteral("Folders")));
        QCOMPARE(ReadSetting(QStringLiteral("Folders"), QStringLiteral("absent")), QString());
        QCOMPARE(window->controls().countdownTimer->interval(), 0);
        QVERIFY(!window->controls().trayIcon->isInTray());
    }

    void storedStateIsRestored()
    {
        WriteSetting(SettingsKeys::Folders, QStringLiteral("/home/ann/Docs;; ;  /srv/a b/  ;"));
        WriteSetting(SettingsKeys::BackupFolder, QStringLiteral("/media/backup"));
        WriteSetting(SettingsKeys::Interval, QStringLiteral("15"));
        WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("Off"));
        WriteSetting(SettingsKeys::Prefix, QString());
        WriteSetting(SettingsKeys::DateStamp, QStringLiteral("0"));
        WriteSetting(SettingsKeys::TimeStamp, QStringLiteral("1"));
        auto window = load();
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(window->controls().folderList->entries(),
                 (QStringList { QStringLiteral("/home/ann/Docs"), QStringLiteral("  /srv/a b/  ") }));
        QCOMPARE(window->controls().backupFolderEdit->text(), QStringLiteral("/media/backup"));
        QCOMPARE(window->controls().intervalList->currentItem()->text(0), QStringLiteral("Backup every 24 hours"));
        QCOMPARE(window->controls().autoBackupButton->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(window->status(), QStringLiteral("Auto Zip And Backup is Turned Off."));
        QCOMPARE(window->controls().countdownTimer->interval(), 0);
        QCOMPARE(window->controls().prefixEdit->text(), QString());
        QCOMPARE(window->controls().dateStampBox->checkState(), Qt::Unchecked);
        QCOMPARE(window->controls().timeStampBox->checkState(), Qt::Checked);

        window->close();
        QCOMPARE(ReadSetting(SettingsKeys::Folders), QStringLiteral("/home/ann/Docs;  /srv/a b/  ;"));
    }

    // Restored values stay whole: every character of a text box, and a greyed box that the user's
    // clicks can only turn into 0 or 1.
    void restoredValuesStayWithinWhatUsersCanStore()
    {
        const QString longPrefix(40000, u'p');
        const QString longPath = QStringLiteral("/srv/") + QString(40000, u'd');
        WriteSetting(SettingsKeys::Prefix, longPrefix);
        WriteSetting(SettingsKeys::BackupFolder, longPath);
        WriteSetting(SettingsKeys::TimeStamp, QStringLiteral("2"));
        auto window = load();
        QCOMPARE(window->controls().prefixEdit->text(), longPrefix);
        QCOMPARE(ReadSetting(SettingsKeys::Prefix), longPrefix);
        QCOMPARE(window->controls().backupFolderEdit->text(), longPath);
        QCOMPARE(ReadSetting(SettingsKeys::BackupFolder), longPath);

        QCOMPARE(window->controls().timeStampBox->checkState(), Qt::PartiallyChecked);
        QStringList clicked;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(window->controls().timeStampBox, Qt::LeftButton, Qt::NoModifier,
                              QPoint(6, window->controls().timeStampBox->height() / 2));
            clicked << ReadSetting(SettingsKeys::TimeStamp);
        }
        QCOMPARE(clicked, (QStringList { QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1") }));
    }

    void unknownSwitchTextKeepsTheInitialState()
    {
        WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("on"));
        auto window = load();
        QCOMPARE(window->controls().autoBackupButton->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(window->status(), QStringLiteral("Next backup will occur in xx:xx:xx"));
        QCOMPARE(window->controls().countdownTimer->interval(), 0);
    }

    void startWithSystemIsRestoredWithoutWriting()
    {
        WriteSetting(SettingsKeys::StartWithSystem, QStringLiteral("On"));
        auto window = load();
        QVERIFY(window->controls().startWithSystemBox->isChecked());
        QVERIFY(!window->controls().startInTrayBox->isHidden());
        QCOMPARE(ReadSetting(SettingsKeys::StartWithSystem), QStringLiteral("On"));
        QVERIFY(!QFile::exists(m_settings.configHome() + QStringLiteral("/autostart")));
    }

    void startInTrayMinimises()
    {
        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("On"));
        auto window = load();
        QVERIFY(window->controls().startInTrayBox->isChecked());
        QVERIFY(window->windowState() & Qt::WindowMinimized);

        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("on"));
        auto second = load();
        QVERIFY(!second->controls().startInTrayBox->isChecked());
        QVERIFY(!(second->windowState() & Qt::WindowMinimized));
    }

    void badNumbersShowTheBoxAndStartUpCarriesOn_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("line");
        QTest::newRow("Check1 x") << "Check1"
                                  << "x"
                                  << "Type mismatch" << 140;
        QTest::newRow("Check2 3") << "Check2"
                                  << "3"
                                  << "Invalid property value" << 141;
        QTest::newRow("Check1 huge") << "Check1"
                                     << "99999"
                                     << "Overflow" << 140;
        QTest::newRow("OftenIndex abc") << "OftenIndex"
                                        << "abc"
                                        << "Type mismatch" << 81;
        QTest::newRow("OftenIndex 16") << "OftenIndex"
                                       << "16"
                                       << "Index out of bounds" << 81;
        QTest::newRow("OftenIndex 0") << "OftenIndex"
                                      << "0"
                                      << "Index out of bounds" << 81;
    }

    void badNumbersShowTheBoxAndStartUpCarriesOn()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, description);
        QFETCH(int, line);
        WriteSetting(key, value);
        auto window = load();
        QCOMPARE(m_prompter->shown().size(), 1);
        QCOMPARE(m_prompter->shown().first().title, QStringLiteral("Application Error"));
        QVERIFY2(m_prompter->shown().first().text.startsWith(
                     description + QStringLiteral("\r\nin Tessaly2021/08/31.Form1.Form_Load at line ")
                     + QString::number(line) + QStringLiteral("\r\r")),
                 qPrintable(m_prompter->shown().first().text));
        // Start-up went on to its last step.
        QVERIFY(!window->isLoading());
        QCOMPARE(HistoryFile(), m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        if (key == QLatin1String("OftenIndex"))
            QVERIFY(window->controls().intervalList->selectedItems().isEmpty());
        if (key == QLatin1String("Check1")) {
            QCOMPARE(window->controls().dateStampBox->checkState(), Qt::Unchecked);
            QCOMPARE(window->controls().timeStampBox->checkState(), Qt::Checked);
        }
    }

    void anyStoredValueStartsTheProgram()
    {
        auto* random = QRandomGenerator::global();
        for (int round = 0; round < 20; ++round) {
            m_settings.clear();
            for (const SettingsKeys::Key& key : SettingsKeys::All) {
                QString value;
                const int length = round == 0 ? 70000 : int(random->bounded(40));
                for (int i = 0; i < length; ++i)
                    value.append(QChar(char16_t(random->bounded(1, 0xD7FF))));
                WriteSetting(key, value);
            }
            auto window = load();
            QVERIFY(!window->isLoading());
            window->close();
        }
    }

    void skinBesideTheProgramIsApplied()
    {
        const QString folder = ProgramFolder() + QStringLiteral("/x");
        QVERIFY(QDir().mkpath(folder));
        QFile skin(folder + QStringLiteral("/o.cjs"));
        QVERIFY(skin.open(QIODevice::WriteOnly));
        skin.write("QPushButton { color: rgb(1, 2, 3); }");
        skin.close();
        auto window = load();
        QDir(folder).removeRecursively();
        QCOMPARE(window->styleSheet(), QStringLiteral("QPushButton { color: rgb(1, 2, 3); }"));
        QCOMPARE(window->controls().statusFrame->palette().color(QPalette::Window),
                 window->palette().color(QPalette::Button));

        auto plain = load();
        QVERIFY(plain->styleSheet().isEmpty());
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
