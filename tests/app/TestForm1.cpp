#include "app/FileRoutines.h"
#include "app/Form1.h"
#include "app/SettingsStore.h"
#include "app/Twips.h"
#include "app/WindowTimer.h"
#include "backup/HistoryFile.h"
#include "desktop/cSysTray.h"
#include "folders/FolderListView.h"
#include "support/WindowTest.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using SettingsStore::ReadSetting;
using SettingsStore::WriteSetting;

class TestForm1 : public WindowTest
{
    Q_OBJECT


private Q_SLOTS:
    void init()
    {
        beginTest();
    }

    void cleanup()
    {
        endTest();
    }

    void everyControlInItsPlace()
    {
        Form1 form;
        struct Expected
        {
            const char* name;
            const char* parent;
            int l, t, w, h;
        };
        const Expected table[] = {
            {"Frame1", "Form1", 120, 60, 7800, 850},         {"ProgressBar1", "Frame1", 240, 300, 7320, 405},
            {"ListView1", "Form1", 120, 1020, 7800, 2805},   {"PushButton7", "Form1", 120, 3910, 7800, 405},
            {"PushButton8", "Form1", 120, 4420, 3840, 405},  {"PushButton9", "Form1", 4080, 4420, 3840, 405},
            {"Frame3", "Form1", 120, 4905, 7800, 1035},      {"Check4", "Frame3", 240, 300, 3690, 255},
            {"Check8", "Frame3", 240, 645, 2100, 255},       {"Frame4", "Form1", 120, 6020, 7800, 1425},
            {"Text1", "Frame4", 240, 330, 7335, 345},        {"Check1", "Frame4", 240, 735, 4020, 255},
            {"Check2", "Frame4", 240, 1020, 3690, 255},      {"ListView2", "Form1", 8040, 120, 7800, 4410},
            {"Frame2", "Form1", 8040, 4620, 7800, 1300},     {"Text5", "Frame2", 240, 300, 6615, 345},
            {"PushButton1", "Frame2", 6960, 300, 600, 345},  {"PushButton2", "Frame2", 240, 750, 7320, 405},
            {"PushButton5", "Form1", 8040, 6030, 3840, 405}, {"PushButton6", "Form1", 12000, 6030, 3840, 405},
            {"PushButton3", "Form1", 8040, 6540, 3840, 405}, {"PushButton4", "Form1", 12000, 6540, 3840, 405},
            {"PushButton11", "Form1", 8040, 7050, 3840, 405}, {"PushButton12", "Form1", 12000, 7050, 3840, 405},
            {"RichTextBox1", "Form1", 120, 8910, 615, 495},
        };
        for (const Expected& e : table) {
            auto* control = form.findChild<QWidget*>(QLatin1String(e.name));
            QVERIFY2(control, e.name);
            QCOMPARE(control->parentWidget()->objectName(), QLatin1String(e.parent));
            QCOMPARE(control->geometry(), TwipsRect(e.l, e.t, e.w, e.h));
        }
        QCOMPARE(form.size(), QSize(TwipsToPixels(15960), TwipsToPixels(7545)));
        QVERIFY(form.RichTextBox1->geometry().top() > form.height());
        QCOMPARE(form.font().family(), QStringLiteral("Arial"));

        QCOMPARE(form.Frame1->title(), QStringLiteral("Next backup will occur in xx:xx:xx"));
        QCOMPARE(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(form.PushButton5->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(form.PushButton6->text(), QStringLiteral("Zip And Backup Now (Test)"));
        QCOMPARE(form.PushButton9->text(), QStringLiteral("Load Sample/Example Folders"));
        QCOMPARE(form.Frame2->title(), QStringLiteral("Save All Backups To This Folder"));
        QCOMPARE(form.Frame4->title(), QStringLiteral("Backup Filename (Prefix)"));
        QCOMPARE(form.Check4->text(), QStringLiteral("Load this software on Windows startup"));
        QCOMPARE(form.Text1->text(), QStringLiteral("Text1"));
        QCOMPARE(form.Text5->text(), QStringLiteral("Text1"));
        QVERIFY(!form.Check1->isChecked() && !form.Check2->isChecked() && !form.Check4->isChecked()
                && !form.Check8->isChecked());
        QCOMPARE(form.ListView1->toolTip(),
                 QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | line to right "
                                "and out of window to reveal full names."));
        QCOMPARE(form.Timer1->Interval(), 0);
    }

    void firstStartRunsOnDefaults()
    {
        auto form = load();
        QVERIFY(m_prompter->shown().isEmpty());
        QVERIFY(!form->IsLoading);
        QCOMPARE(form->windowTitle(), QStringLiteral("Tessaly"));
        QCOMPARE(form->ListView1->EntryCount(), 0);
        QCOMPARE(form->ListView1->headerItem()->text(0), QStringLiteral("Folder(s) To Zip And Backup"));
        QCOMPARE(form->Text5->text(), DesktopFolder());
        QCOMPARE(form->ListView2->topLevelItemCount(), 15);
        QCOMPARE(form->ListView2->currentItem()->text(0), QStringLiteral("Backup every 15 minutes"));
        QCOMPARE(form->ListView2->headerItem()->text(0), QStringLiteral("How often would you like to backup?"));
        QCOMPARE(form->PushButton5->text(), QStringLiteral("Turn Off Auto Zip And Backup"));
        QCOMPARE(form->Timer1->Interval(), 1000);
        QVERIFY(form->cSysTray1->InTray());
        QCOMPARE(form->cSysTray1->TrayTip(), QStringLiteral("Tessaly"));
        QVERIFY(!form->Check4->isChecked());
        QVERIFY(!form->Check8->isChecked());
        QCOMPARE(form->Text1->text(), QStringLiteral("Backup"));
        QCOMPARE(form->Check1->checkState(), Qt::Checked);
        QCOMPARE(form->Check2->checkState(), Qt::Checked);
        QCOMPARE(HistoryFile(), m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        QVERIFY(form->hasCustomPointer());

        // Restores write back what differs from the design values, and nothing else.
        QStringList keys = m_settings.storedKeys();
        keys.sort();
        QCOMPARE(keys, (QStringList{QStringLiteral("Check1"), QStringLiteral("Check2"), QStringLiteral("Path"),
                                    QStringLiteral("Text1")}));
        QCOMPARE(ReadSetting(SettingsKeys::Path), DesktopFolder());
        QCOMPARE(ReadSetting(SettingsKeys::Check1), QStringLiteral("1"));

        form->close();
        QVERIFY(m_settings.storedKeys().contains(QStringLiteral("Folders")));
        QCOMPARE(ReadSetting(QStringLiteral("Folders"), QStringLiteral("absent")), QString());
        QCOMPARE(form->Timer1->Interval(), 0);
        QVERIFY(!form->cSysTray1->InTray());
    }

    void storedStateIsRestored()
    {
        WriteSetting(SettingsKeys::Folders, QStringLiteral("/home/ann/Docs;; ;  /srv/a b/  ;"));
        WriteSetting(SettingsKeys::Path, QStringLiteral("/media/backup"));
        WriteSetting(SettingsKeys::OftenIndex, QStringLiteral("15"));
        WriteSetting(SettingsKeys::StartStopState, QStringLiteral("Off"));
        WriteSetting(SettingsKeys::Text1, QString());
        WriteSetting(SettingsKeys::Check1, QStringLiteral("0"));
        WriteSetting(SettingsKeys::Check2, QStringLiteral("1"));
        auto form = load();
        QVERIFY(m_prompter->shown().isEmpty());
        QCOMPARE(form->ListView1->Entries(), (QStringList{QStringLiteral("/home/ann/Docs"), QStringLiteral("  /srv/a b/  ")}));
        QCOMPARE(form->Text5->text(), QStringLiteral("/media/backup"));
        QCOMPARE(form->ListView2->currentItem()->text(0), QStringLiteral("Backup every 24 hours"));
        QCOMPARE(form->PushButton5->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(form->status(), QStringLiteral("Auto Zip And Backup is Turned Off."));
        QCOMPARE(form->Timer1->Interval(), 0);
        QCOMPARE(form->Text1->text(), QString());
        QCOMPARE(form->Check1->checkState(), Qt::Unchecked);
        QCOMPARE(form->Check2->checkState(), Qt::Checked);

        form->close();
        QCOMPARE(ReadSetting(SettingsKeys::Folders), QStringLiteral("/home/ann/Docs;  /srv/a b/  ;"));
    }

    // Restored values stay whole: every character of a text box, and a greyed box that the user's
    // clicks can only turn into 0 or 1.
    void restoredValuesStayWithinWhatUsersCanStore()
    {
        const QString longPrefix(40000, u'p');
        const QString longPath = QStringLiteral("/srv/") + QString(40000, u'd');
        WriteSetting(SettingsKeys::Text1, longPrefix);
        WriteSetting(SettingsKeys::Path, longPath);
        WriteSetting(SettingsKeys::Check2, QStringLiteral("2"));
        auto form = load();
        QCOMPARE(form->Text1->text(), longPrefix);
        QCOMPARE(ReadSetting(SettingsKeys::Text1), longPrefix);
        QCOMPARE(form->Text5->text(), longPath);
        QCOMPARE(ReadSetting(SettingsKeys::Path), longPath);

        QCOMPARE(form->Check2->checkState(), Qt::PartiallyChecked);
        QStringList clicked;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(form->Check2, Qt::LeftButton, Qt::NoModifier, QPoint(6, form->Check2->height() / 2));
            clicked << ReadSetting(SettingsKeys::Check2);
        }
        QCOMPARE(clicked, (QStringList{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1")}));
    }

    void unknownSwitchTextKeepsTheInitialState()
    {
        WriteSetting(SettingsKeys::StartStopState, QStringLiteral("on"));
        auto form = load();
        QCOMPARE(form->PushButton5->text(), QStringLiteral("Turn On Auto Zip And Backup"));
        QCOMPARE(form->status(), QStringLiteral("Next backup will occur in xx:xx:xx"));
        QCOMPARE(form->Timer1->Interval(), 0);
    }

    void startWithSystemIsRestoredWithoutWriting()
    {
        WriteSetting(SettingsKeys::WindowsStartup, QStringLiteral("On"));
        auto form = load();
        QVERIFY(form->Check4->isChecked());
        QVERIFY(!form->Check8->isHidden());
        QCOMPARE(ReadSetting(SettingsKeys::WindowsStartup), QStringLiteral("On"));
        QVERIFY(!QFile::exists(m_settings.configHome() + QStringLiteral("/autostart")));
    }

    void startInTrayMinimises()
    {
        WriteSetting(SettingsKeys::Minimized, QStringLiteral("On"));
        auto form = load();
        QVERIFY(form->Check8->isChecked());
        QVERIFY(form->windowState() & Qt::WindowMinimized);

        WriteSetting(SettingsKeys::Minimized, QStringLiteral("on"));
        auto second = load();
        QVERIFY(!second->Check8->isChecked());
        QVERIFY(!(second->windowState() & Qt::WindowMinimized));
    }

    void badNumbersShowTheBoxAndStartUpCarriesOn_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("line");
        QTest::newRow("Check1 x") << "Check1" << "x" << "Type mismatch" << 140;
        QTest::newRow("Check2 3") << "Check2" << "3" << "Invalid property value" << 141;
        QTest::newRow("Check1 huge") << "Check1" << "99999" << "Overflow" << 140;
        QTest::newRow("OftenIndex abc") << "OftenIndex" << "abc" << "Type mismatch" << 81;
        QTest::newRow("OftenIndex 16") << "OftenIndex" << "16" << "Index out of bounds" << 81;
        QTest::newRow("OftenIndex 0") << "OftenIndex" << "0" << "Index out of bounds" << 81;
    }

    void badNumbersShowTheBoxAndStartUpCarriesOn()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, description);
        QFETCH(int, line);
        WriteSetting(key, value);
        auto form = load();
        QCOMPARE(m_prompter->shown().size(), 1);
        QCOMPARE(m_prompter->shown().first().title, QStringLiteral("Application Error"));
        QVERIFY2(m_prompter->shown().first().text.startsWith(
                     description + QStringLiteral("\r\nin Tessaly2021/08/31.Form1.Form_Load at line ")
                     + QString::number(line) + QStringLiteral("\r\r")),
                 qPrintable(m_prompter->shown().first().text));
        // Start-up went on to its last step.
        QVERIFY(!form->IsLoading);
        QCOMPARE(HistoryFile(), m_settings.tempFolder() + QStringLiteral("/Tessaly.txt"));
        if (key == QLatin1String("OftenIndex"))
            QVERIFY(form->ListView2->selectedItems().isEmpty());
        if (key == QLatin1String("Check1")) {
            QCOMPARE(form->Check1->checkState(), Qt::Unchecked);
            QCOMPARE(form->Check2->checkState(), Qt::Checked);
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
            auto form = load();
            QVERIFY(!form->IsLoading);
            form->close();
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
        auto form = load();
        QDir(folder).removeRecursively();
        QCOMPARE(form->styleSheet(), QStringLiteral("QPushButton { color: rgb(1, 2, 3); }"));
        QCOMPARE(form->Frame1->palette().color(QPalette::Window), form->palette().color(QPalette::Button));

        auto plain = load();
        QVERIFY(plain->styleSheet().isEmpty());
    }
};

QTEST_MAIN(TestForm1)
#include "TestForm1.moc"
