#include "StubFolderDialog.h"
#include "base/MousePointer.h"
#include "base/Prompter.h"
#include "base/SettingsStore.h"
#include "folders/FolderButtons.h"
#include "folders/FolderListView.h"
#include "folders/FolderPicker.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using SettingsStore::ReadSetting;
using SettingsStore::WriteSetting;

class TestFolderButtons : public WindowTest
{
    Q_OBJECT
    std::unique_ptr<StubFolderDialog> m_dialog;
    std::unique_ptr<MainWindow> m_window;

    static QString stored(const SettingsKeys::Key& key)
    {
        return ReadSetting(QLatin1String(key.name), QStringLiteral("absent"));
    }

    QString samples() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/Samples/"); }

    QStringList shippedSamples() const
    {
        QStringList expected;
        for (const char* relative :
             { "Letters", "Notes", "Recipes", "Letters/Drafts", "Notes/Garden", "Letters/Drafts/Old" })
            expected.append(samples() + QLatin1String(relative) + u'/');
        return expected;
    }

    // Moves the shipped samples aside for one test and brings them back afterwards.
    struct SamplesAside
    {
        QString home;
        QString aside;
        explicit SamplesAside(const QString& samples)
            : home(QDir::cleanPath(samples))
            , aside(home + QStringLiteral(".aside"))
        {
            QDir().rename(home, aside);
        }
        ~SamplesAside()
        {
            QDir(home).removeRecursively();
            QDir().rename(aside, home);
        }
    };

private Q_SLOTS:
    void init()
    {
        beginTest();
        m_dialog = std::make_unique<StubFolderDialog>();
        m_window = std::make_unique<MainWindow>();
        m_window->load();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        m_dialog.reset();
        endTest();
    }

    void addFolderAppendsEveryChoice()
    {
        m_dialog->setNextDirectory(QStringLiteral("/srv/Team Docs"));
        m_dialog->setNextDirectory(QStringLiteral("/srv/Team Docs"));
        m_dialog->setNextDirectory(QStringLiteral("/"));
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(m_window->controls().addFolderButton, Qt::LeftButton);
        // The fourth pick is cancelled and adds nothing.
        QCOMPARE(
            m_window->controls().folderList->entries(),
            (QStringList { QStringLiteral("/srv/Team Docs"), QStringLiteral("/srv/Team Docs"), QStringLiteral("/") }));
        QCOMPARE(m_dialog->requests.size(), 4);
        for (const StubFolderDialog::Request& request : std::as_const(m_dialog->requests)) {
            QCOMPARE(request.owner, m_window.get());
            QCOMPARE(request.prompt, QStringLiteral("Browse for folder:"));
            QCOMPARE(request.initialFolder, QString());
        }
        // Adding is not blocked while the window is busy.
        m_window->setMousePointer(MousePointer::Busy);
        m_dialog->setNextDirectory(QStringLiteral("/home/ann"));
        QTest::mouseClick(m_window->controls().addFolderButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().folderList->entryCount(), 4);
    }

    void backupFolderPickerStartsAtLastFolder()
    {
        const QString before = m_window->controls().backupFolderEdit->text();
        QTest::mouseClick(m_window->controls().chooseBackupFolderButton, Qt::LeftButton);
        QCOMPARE(m_dialog->requests.last().initialFolder, QString());
        QCOMPARE(m_dialog->requests.last().prompt, QStringLiteral("Please select folder:"));
        QCOMPARE(m_dialog->requests.last().owner, m_window.get());
        QCOMPARE(m_window->controls().backupFolderEdit->text(), before);
        QCOMPARE(stored(SettingsKeys::BackupFolder), before);

        WriteSetting(SettingsKeys::LastAddedFolder, QStringLiteral("/srv/last place"));
        m_dialog->setNextDirectory(QStringLiteral("/srv/Backups"));
        QTest::mouseClick(m_window->controls().chooseBackupFolderButton, Qt::LeftButton);
        QCOMPARE(m_dialog->requests.last().initialFolder, QStringLiteral("/srv/last place"));
        QCOMPARE(m_window->controls().backupFolderEdit->text(), QStringLiteral("/srv/Backups"));
        QCOMPARE(stored(SettingsKeys::BackupFolder), QStringLiteral("/srv/Backups"));
        // Read each time, never written.
        WriteSetting(SettingsKeys::LastAddedFolder, QStringLiteral("/srv/changed"));
        QTest::mouseClick(m_window->controls().chooseBackupFolderButton, Qt::LeftButton);
        QCOMPARE(m_dialog->requests.last().initialFolder, QStringLiteral("/srv/changed"));
        QCOMPARE(stored(SettingsKeys::LastAddedFolder), QStringLiteral("/srv/changed"));
        QCOMPARE(m_window->controls().backupFolderEdit->text(), QStringLiteral("/srv/Backups"));
    }

    void lastFolderIsNeverCreated()
    {
        m_dialog->setNextDirectory(QStringLiteral("/srv/Backups"));
        QTest::mouseClick(m_window->controls().chooseBackupFolderButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().backupFolderEdit->text(), QStringLiteral("/srv/Backups"));
        m_window->unload();
        QVERIFY(!m_settings.storedKeys().contains(QStringLiteral("LastFolder")));
    }

    void desktopDialogOpensAtTheInitialFolder()
    {
        m_dialog.reset(); // the desktop's own dialog
        QTemporaryDir last;
        WriteSetting(SettingsKeys::LastAddedFolder, last.path());
        QString shownAt;
        QString title;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            shownAt = dialog->directory().absolutePath();
            title = dialog->windowTitle();
            dialog->reject();
        });
        const QString before = m_window->controls().backupFolderEdit->text();
        QTest::mouseClick(m_window->controls().chooseBackupFolderButton, Qt::LeftButton);
        QCOMPARE(shownAt, last.path());
        QCOMPARE(title, QStringLiteral("Please select folder:"));
        QCOMPARE(m_window->controls().backupFolderEdit->text(), before);
    }

    void clearListWaitsWhileBusy()
    {
        m_window->controls().folderList->appendEntry(QStringLiteral("/a"));
        m_window->controls().folderList->appendEntry(QStringLiteral("/b"));
        m_window->setMousePointer(MousePointer::Busy);
        QTest::mouseClick(m_window->controls().clearListButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().folderList->entryCount(), 2);
        m_window->setMousePointer(MousePointer::Default);
        QTest::mouseClick(m_window->controls().clearListButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().folderList->entryCount(), 0);
        // Nothing is written until the window closes.
        QCOMPARE(stored(SettingsKeys::Folders), QStringLiteral("absent"));
        QVERIFY(m_prompter->shown().isEmpty());
    }

    void samplesLoadLevelByLevelAndAsk()
    {
        m_window->controls().folderList->appendEntry(QStringLiteral("/mine"));
        bool busyDuringWalk = false;
        int countDuringWalk = -1;
        // The walk lets window events through: the window is busy then, and removal waits.
        QTimer::singleShot(0, this, [&] {
            busyDuringWalk = m_window->isBusy();
            m_window->controls().folderList->setCurrentItem(m_window->controls().folderList->topLevelItem(0));
            QTest::keyClick(m_window->controls().folderList, Qt::Key_Delete);
            QTest::mouseClick(m_window->controls().clearListButton, Qt::LeftButton);
            countDuringWalk = m_window->controls().folderList->entryCount();
        });
        m_prompter->setNextAnswer(Prompter::Answer::No);
        QTest::mouseClick(m_window->controls().loadSamplesButton, Qt::LeftButton);
        QVERIFY(busyDuringWalk);
        QCOMPARE(countDuringWalk, 1);

        QCOMPARE(m_window->controls().folderList->entries(),
                 QStringList { QStringLiteral("/mine") } + shippedSamples());
        for (const QString& entry : m_window->controls().folderList->entries())
            QVERIFY2(!entry.contains(QStringLiteral("//")), qPrintable(entry));
        QCOMPARE(m_window->mousePointer(), MousePointer::Default);
        QCOMPARE(m_prompter->shown().size(), 1);
        const TestPrompter::Shown question = m_prompter->shown().first();
        QCOMPARE(question.text,
                 QStringLiteral("Would you like this software to open the folder where these sample "
                                "files are stored (so that you can view them before working with "
                                "them)?"));
        QCOMPARE(question.title, ApplicationTitle());
        QCOMPARE(question.buttons, Prompter::Buttons::YesNo);
        QCOMPARE(question.icon, Prompter::Icon::None);
        QVERIFY(m_launcher->paths.isEmpty());

        // A second load lists everything again; Yes opens the samples folder.
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        QTest::mouseClick(m_window->controls().loadSamplesButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().folderList->entries(),
                 QStringList { QStringLiteral("/mine") } + shippedSamples() + shippedSamples());
        QCOMPARE(m_launcher->paths, QStringList { samples() });
    }

    void missingOrEmptySamplesStillAsk()
    {
        SamplesAside aside(samples());
        QVERIFY(!QDir(samples()).exists());
        m_prompter->setNextAnswer(Prompter::Answer::Yes);
        QTest::mouseClick(m_window->controls().loadSamplesButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().folderList->entryCount(), 0);
        QCOMPARE(m_prompter->shown().size(), 1);
        QCOMPARE(m_launcher->paths, QStringList { samples() });

        QVERIFY(QDir().mkpath(samples()));
        m_prompter->setNextAnswer(Prompter::Answer::No);
        QTest::mouseClick(m_window->controls().loadSamplesButton, Qt::LeftButton);
        QCOMPARE(m_window->controls().folderList->entryCount(), 0);
        QCOMPARE(m_prompter->shown().size(), 2);
        QCOMPARE(m_window->mousePointer(), MousePointer::Default);
    }
};

QTEST_MAIN(TestFolderButtons)
#include "TestFolderButtons.moc"
