#include "base/Launcher.h"
#include "base/SettingsStore.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <stdexcept>

using SettingsStore::ReadSetting;

namespace {

class FailingLauncher final : public Launcher
{
public:
    FailingLauncher() { Launcher::install(this); }
    ~FailingLauncher() override { Launcher::install(nullptr); }
    void openPath(const QString&) override { throw std::runtime_error("No application is registered"); }
    void openWebPage(const QString&) override { }
};

QString stored(const SettingsKeys::Key& key)
{
    return ReadSetting(QLatin1String(key.name), QStringLiteral("absent"));
}

} // namespace

class TestDestinationOptions : public WindowTest
{
    Q_OBJECT
    std::unique_ptr<MainWindow> m_window;

private Q_SLOTS:
    void init()
    {
        beginTest();
        m_window = std::make_unique<MainWindow>();
        m_window->load();
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        endTest();
    }

    void focusSelectsTheWholeText()
    {
        m_window->controls().backupFolderEdit->setText(QStringLiteral("/srv/Backups"));
        m_window->controls().prefixEdit->setText(QStringLiteral("Nightly"));

        // By mouse: the click places the cursor, then the whole text is selected.
        QTest::mouseClick(m_window->controls().backupFolderEdit, Qt::LeftButton, Qt::NoModifier,
                          QPoint(5, m_window->controls().backupFolderEdit->height() / 2));
        QTRY_COMPARE(m_window->controls().backupFolderEdit->selectedText(), QStringLiteral("/srv/Backups"));
        QTest::keyClicks(m_window->controls().backupFolderEdit, QStringLiteral("/data"));
        QCOMPARE(m_window->controls().backupFolderEdit->text(), QStringLiteral("/data"));

        // By keyboard: Tab from the box before it.
        m_window->controls().startInTrayBox->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(m_window->controls().startInTrayBox->hasFocus());
        QTest::keyClick(m_window->controls().startInTrayBox, Qt::Key_Tab);
        QTRY_VERIFY(m_window->controls().prefixEdit->hasFocus());
        QTRY_COMPARE(m_window->controls().prefixEdit->selectedText(), QStringLiteral("Nightly"));

        // A click into a box that already has the focus only moves the cursor (waiting first, so
        // the click is not taken as the second half of a double-click).
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QTest::mouseClick(m_window->controls().prefixEdit, Qt::LeftButton, Qt::NoModifier,
                          QPoint(3, m_window->controls().prefixEdit->height() / 2));
        QCoreApplication::processEvents();
        QCOMPARE(m_window->controls().prefixEdit->selectedText(), QString());
    }

    void everyKeystrokeIsStoredAtOnce()
    {
        m_window->controls().prefixEdit->setFocus();
        m_window->controls().prefixEdit->clear();
        QCOMPARE(stored(SettingsKeys::Prefix), QString());
        const QString typed = QStringLiteral("Daily;Run");
        for (qsizetype i = 0; i < typed.size(); ++i) {
            QTest::keyClick(m_window->controls().prefixEdit, typed.at(i).toLatin1());
            QCOMPARE(stored(SettingsKeys::Prefix), typed.left(i + 1));
        }
        QTest::keyClick(m_window->controls().prefixEdit, Qt::Key_Backspace);
        QCOMPARE(stored(SettingsKeys::Prefix), QStringLiteral("Daily;Ru"));

        m_window->controls().backupFolderEdit->setFocus();
        m_window->controls().backupFolderEdit->selectAll();
        QTest::keyClick(m_window->controls().backupFolderEdit, Qt::Key_Delete);
        QCOMPARE(stored(SettingsKeys::BackupFolder), QString());
        QTest::keyClick(m_window->controls().backupFolderEdit, '/');
        QCOMPARE(stored(SettingsKeys::BackupFolder), QStringLiteral("/"));
    }

    void stampOptionsAreStoredOnTheClick()
    {
        QVERIFY(m_window->controls().dateStampBox->isChecked());
        QTest::mouseClick(m_window->controls().dateStampBox, Qt::LeftButton, Qt::NoModifier,
                          QPoint(6, m_window->controls().dateStampBox->height() / 2));
        QCOMPARE(stored(SettingsKeys::DateStamp), QStringLiteral("0"));
        QTest::mouseClick(m_window->controls().timeStampBox, Qt::LeftButton, Qt::NoModifier,
                          QPoint(6, m_window->controls().timeStampBox->height() / 2));
        QCOMPARE(stored(SettingsKeys::TimeStamp), QStringLiteral("0"));
        QTest::mouseClick(m_window->controls().dateStampBox, Qt::LeftButton, Qt::NoModifier,
                          QPoint(6, m_window->controls().dateStampBox->height() / 2));
        QCOMPARE(stored(SettingsKeys::DateStamp), QStringLiteral("1"));
    }

    void viewThisFolderOpensTheTextAsItStands()
    {
        for (const QString& path : { QStringLiteral("/srv/My Backups/"), QStringLiteral("/no/such/folder"), QString(),
                                     QStringLiteral(" /spaced ") }) {
            m_window->controls().backupFolderEdit->setText(path);
            QTest::mouseClick(m_window->controls().viewBackupFolderButton, Qt::LeftButton);
        }
        // An empty box opens the home folder; relative text is read from there.
        QCOMPARE(m_launcher->paths,
                 (QStringList { QStringLiteral("/srv/My Backups/"), QStringLiteral("/no/such/folder"), QDir::homePath(),
                                QDir::homePath() + QStringLiteral("/ /spaced ") }));
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void viewThisFolderUnderTheErrorConvention()
    {
        FailingLauncher failing;
        QTest::mouseClick(m_window->controls().viewBackupFolderButton, Qt::LeftButton);
        QCOMPARE(m_prompter->shown().size(), 1);
        QVERIFY2(m_prompter->shown().first().text.startsWith(
                     QStringLiteral("No application is registered\r\nin Tessaly2021/08/31.Form1.PushButton2_Click "
                                    "at line 10\r\r")),
                 qPrintable(m_prompter->shown().first().text));
    }
};

QTEST_MAIN(TestDestinationOptions)
#include "TestDestinationOptions.moc"
