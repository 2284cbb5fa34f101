#include "FakeTrayBackend.h"
#include "base/HomePage.h"
#include "base/MousePointer.h"
#include "base/Prompter.h"
#include "base/SettingsStore.h"
#include "desktop/TrayIcon.h"
#include "desktop/TrayWindowBehaviour.h"
#include "folders/FolderListView.h"
#include "support/WindowTest.h"
#include "window/MainWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

using SettingsStore::ReadSetting;
using SettingsStore::WriteSetting;
using Pointer = MousePointer;

namespace {

FakeTrayBackend& fakeOf(const MainWindow& window)
{
    return static_cast<FakeTrayBackend&>(window.controls().trayIcon->backend());
}

TrayWindowBehaviour& behaviourOf(MainWindow& window)
{
    return *window.findChild<TrayWindowBehaviour*>();
}

void appendFolder(MainWindow& window)
{
    window.controls().folderList->appendEntry(QStringLiteral("/srv/data"));
}

bool hiddenInTray(const MainWindow& window)
{
    return window.isHidden();
}

bool shownNormal(const MainWindow& window)
{
    return window.isVisible() && !(window.windowState() & Qt::WindowMinimized);
}

bool ordinaryMinimised(const MainWindow& window)
{
    return window.isVisible() && (window.windowState() & Qt::WindowMinimized);
}

} // namespace

class TestTrayWindow : public WindowTest
{
    Q_OBJECT

    // The window as the program starts it: loaded, then shown.
    std::unique_ptr<MainWindow> start(FakeTrayBackend::Options options)
    {
        FakeTrayFactory factory(options);
        auto window = std::make_unique<MainWindow>();
        window->load();
        window->show();
        return window;
    }

    void userMinimises(MainWindow& window) { window.setWindowState(window.windowState() | Qt::WindowMinimized); }

    void leftClickOnIcon(MainWindow& window) { Q_EMIT fakeOf(window).activated(QSystemTrayIcon::Trigger); }

private Q_SLOTS:
    void init() { beginTest(); }

    void cleanup() { endTest(); }

    void startInTrayStartsHiddenWithTheBalloon()
    {
        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("On"));
        auto window = start({ .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*window);
        QVERIFY(window->controls().startInTrayBox->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(hiddenInTray(*window), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(tray.count("showMessage"), 1, 30000);
        QCOMPARE(tray.balloonTitle, QStringLiteral("Tessaly"));
        QVERIFY(tray.balloonText.startsWith(QStringLiteral("has been minimized to the system tray.\r\n")));
        QVERIFY(tray.balloonText.contains(QStringLiteral("(Quarnell)")));
        QVERIFY(tray.balloonText.contains(QStringLiteral("blue")));
        QCOMPARE(tray.balloonMilliseconds, 5000);
        QVERIFY(window->controls().trayIcon->isInTray());
        QCOMPARE(tray.tipShown, QStringLiteral("Tessaly"));

        leftClickOnIcon(*window);
        QVERIFY(shownNormal(*window));
        QVERIFY(behaviourOf(*window).minimizedToTrayOnce());
    }

    void firstMinimiseHidesLaterOnesDoNot()
    {
        auto window = start({ .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*window);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // A left click on the icon over a shown window changes nothing.
        leftClickOnIcon(*window);
        QVERIFY(shownNormal(*window));

        userMinimises(*window);
        QVERIFY(hiddenInTray(*window));
        QCOMPARE(tray.count("showMessage"), 1);
        QCOMPARE(window->controls().trayIcon->onceBalloonCount(), 1);
        leftClickOnIcon(*window);
        QVERIFY(shownNormal(*window));

        userMinimises(*window);
        QVERIFY(ordinaryMinimised(*window));
        QCOMPARE(tray.count("showMessage"), 1);
        leftClickOnIcon(*window);
        QVERIFY(shownNormal(*window));

        // The icon stayed in the tray all along.
        QCOMPARE(tray.count("add"), 1);
        QCOMPARE(tray.count("remove"), 0);
        window->close();
        QCOMPARE(tray.count("remove"), 1);
    }

    void rightAndDoubleClicksDoNotRestore()
    {
        auto window = start({ .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*window);
        userMinimises(*window);
        QVERIFY(hiddenInTray(*window));
        Q_EMIT tray.activated(QSystemTrayIcon::Context);
        Q_EMIT tray.activated(QSystemTrayIcon::MiddleClick);
        Q_EMIT tray.activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(hiddenInTray(*window));
        // A double click reaches us as a click first, then the double click.
        Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
        Q_EMIT tray.activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(shownNormal(*window));
    }

    void windowLivesWhileTheBalloonWaits()
    {
        auto window = start({});
        FakeTrayBackend& tray = fakeOf(*window);
        bool restoredDuringWait = false;
        bool balloonUpWhenRestored = false;
        QTimer::singleShot(0, this, [&] {
            leftClickOnIcon(*window);
            restoredDuringWait = shownNormal(*window);
            balloonUpWhenRestored = window->controls().trayIcon->isBalloonVisible();
            Q_EMIT tray.messageClicked();
        });
        userMinimises(*window);
        QVERIFY(restoredDuringWait);
        QVERIFY(balloonUpWhenRestored);
        QVERIFY(shownNormal(*window));
        QVERIFY(!window->controls().trayIcon->isBalloonVisible());
        // Clicked away: no clearing call after the wait.
        QCOMPARE(tray.count("hideMessage"), 0);
    }

    void closingDuringTheBalloonEndsTheWait()
    {
        auto window = start({});
        FakeTrayBackend& tray = fakeOf(*window);
        appendFolder(*window);
        QTimer::singleShot(0, window.get(), &QWidget::close);
        userMinimises(*window);
        // The icon left with the close, and its balloon with it; the list was saved.
        QVERIFY(!window->controls().trayIcon->isInTray());
        QVERIFY(!window->controls().trayIcon->isBalloonVisible());
        QCOMPARE(tray.count("remove"), 1);
        QCOMPARE(ReadSetting(SettingsKeys::Folders), QStringLiteral("/srv/data;"));
    }

    // A panel that restarts or crashes takes the icon with it: a window hidden in the tray comes
    // back, even during the balloon, and a shown one is left alone.
    void losingTheTrayBringsAHiddenWindowBack()
    {
        auto window = start({});
        FakeTrayBackend& tray = fakeOf(*window);
        QTimer::singleShot(0, this, [&] { tray.setAvailable(false); });
        userMinimises(*window);
        QVERIFY(shownNormal(*window));
        QVERIFY(!window->controls().trayIcon->isBalloonVisible());

        tray.setAvailable(true);
        userMinimises(*window);
        QVERIFY(ordinaryMinimised(*window));
        tray.setAvailable(false);
        QVERIFY(ordinaryMinimised(*window));

        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("On"));
        auto hidden = start({ .clickBalloons = true });
        QTRY_VERIFY_WITH_TIMEOUT(hiddenInTray(*hidden) && behaviourOf(*hidden).minimizedToTrayOnce(), 30000);
        fakeOf(*hidden).setAvailable(false);
        QVERIFY(shownNormal(*hidden));
    }

    void withoutNotificationAreaTheWindowIsNeverHidden()
    {
        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("On"));
        auto started = start({ .available = false, .clickBalloons = true });
        QCoreApplication::processEvents();
        QTest::qWait(50);
        QVERIFY(ordinaryMinimised(*started));
        QVERIFY(!behaviourOf(*started).minimizedToTrayOnce());
        started.reset();

        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("Off"));
        auto window = start({ .available = false, .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*window);
        userMinimises(*window);
        QVERIFY(ordinaryMinimised(*window));
        QCOMPARE(tray.count("showMessage"), 0);

        // A notification area that turns up later is used from then on.
        window->setWindowState(Qt::WindowNoState);
        tray.setAvailable(true);
        userMinimises(*window);
        QVERIFY(hiddenInTray(*window));
        QCOMPARE(tray.count("showMessage"), 1);
    }

    void startInTrayOptionIsStoredAtOnce()
    {
        auto window = start({ .clickBalloons = true });
        QVERIFY(!window->controls().startInTrayBox->isHidden());
        window->controls().startInTrayBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::StartInTray), QStringLiteral("On"));
        window->controls().startInTrayBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::StartInTray), QStringLiteral("Off"));
    }

    void helpNamesTheContactPage()
    {
        auto window = start({ .clickBalloons = true });
        QTest::mouseClick(window->controls().helpButton, Qt::LeftButton);
        QCOMPARE(m_prompter->shown().size(), 1);
        const TestPrompter::Shown& box = m_prompter->shown().first();
        QCOMPARE(box.text,
                 QStringLiteral("Questions? Please contact Team Quarnell at ") + QLatin1String(ContactPageAddress));
        QCOMPARE(box.title, ApplicationTitle());
        QVERIFY(!box.title.isEmpty());
        QCOMPARE(box.buttons, Prompter::Buttons::Ok);
        QVERIFY(m_launcher->pages.isEmpty());
    }

    void pointerFollowsTheHoverTable()
    {
        auto window = start({ .clickBalloons = true });
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QWindow* handle = window->windowHandle();
        auto moveOver = [&](QWidget* widget, QPoint at) { QTest::mouseMove(handle, widget->mapTo(window.get(), at)); };
        auto centre = [](QWidget* widget) { return widget->rect().center(); };
        // A point of a frame that none of its controls covers.
        auto frameEdge = [](QGroupBox* frame) { return QPoint(3, frame->height() - 3); };

        struct Row
        {
            QWidget* widget;
            QPoint at;
            Pointer pointer;
        };
        const QList<Row> table = {
            { window.get(), QPoint(2, 2), Pointer::Default },
            { window->controls().statusFrame, frameEdge(window->controls().statusFrame), Pointer::Default },
            { window->controls().backupFolderFrame, frameEdge(window->controls().backupFolderFrame), Pointer::Default },
            { window->controls().optionsFrame, frameEdge(window->controls().optionsFrame), Pointer::Default },
            { window->controls().fileNameFrame, frameEdge(window->controls().fileNameFrame), Pointer::Default },
            { window->controls().prefixEdit, centre(window->controls().prefixEdit), Pointer::Default },
            { window->controls().backupFolderEdit, centre(window->controls().backupFolderEdit), Pointer::Default },
            { window->controls().intervalList, centre(window->controls().intervalList), Pointer::Default },
            { window->controls().intervalList->header(), centre(window->controls().intervalList->header()),
              Pointer::Default },
            { window->controls().intervalList->viewport(),
              QPoint(5, window->controls().intervalList->viewport()->height() - 5), Pointer::Default },
            { window->controls().chooseBackupFolderButton, centre(window->controls().chooseBackupFolderButton),
              Pointer::Custom },
            { window->controls().viewBackupFolderButton, centre(window->controls().viewBackupFolderButton),
              Pointer::Custom },
            { window->controls().viewHistoryButton, centre(window->controls().viewHistoryButton), Pointer::Custom },
            { window->controls().copyHistoryButton, centre(window->controls().copyHistoryButton), Pointer::Custom },
            { window->controls().autoBackupButton, centre(window->controls().autoBackupButton), Pointer::Custom },
            { window->controls().backupNowButton, centre(window->controls().backupNowButton), Pointer::Custom },
            { window->controls().addFolderButton, centre(window->controls().addFolderButton), Pointer::Custom },
            { window->controls().clearListButton, centre(window->controls().clearListButton), Pointer::Custom },
            { window->controls().loadSamplesButton, centre(window->controls().loadSamplesButton), Pointer::Custom },
            { window->controls().helpButton, centre(window->controls().helpButton), Pointer::Custom },
            { window->controls().clearHistoryButton, centre(window->controls().clearHistoryButton), Pointer::Custom },
        };
        for (const Row& row : table) {
            const QString name = row.widget->objectName();
            // The point really lies on that control.
            QWidget* under = window->childAt(row.widget->mapTo(window.get(), row.at));
            QVERIFY2(under == row.widget || (under && row.widget->isAncestorOf(under))
                         || (row.widget == window.get() && !under),
                     qPrintable(name));
            const Pointer other = row.pointer == Pointer::Custom ? Pointer::Default : Pointer::Custom;
            window->setMousePointer(other);
            moveOver(row.widget, row.at);
            QVERIFY2(window->mousePointer() == row.pointer, qPrintable(name));
            QCOMPARE(window->cursor().shape() == Qt::ArrowCursor, row.pointer == Pointer::Default);

            // The busy pointer is never replaced.
            window->setMousePointer(Pointer::Busy);
            moveOver(row.widget, row.at);
            QVERIFY2(window->isBusy(), qPrintable(name));
        }

        // Controls without a rule leave the pointer as it was, also where they lie inside a frame.
        for (QWidget* widget : { static_cast<QWidget*>(window->controls().startWithSystemBox),
                                 static_cast<QWidget*>(window->controls().startInTrayBox),
                                 static_cast<QWidget*>(window->controls().dateStampBox),
                                 static_cast<QWidget*>(window->controls().timeStampBox),
                                 static_cast<QWidget*>(window->controls().progressBar) }) {
            for (const Pointer pointer : { Pointer::Custom, Pointer::Default }) {
                window->setMousePointer(pointer);
                moveOver(widget, centre(widget));
                QVERIFY2(window->mousePointer() == pointer, qPrintable(widget->objectName()));
            }
        }
    }
};

QTEST_MAIN(TestTrayWindow)
#include "TestTrayWindow.moc"
