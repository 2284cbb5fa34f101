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

FakeTrayBackend& fakeOf(const MainWindow& form)
{
    return static_cast<FakeTrayBackend&>(form.controls().trayIcon->backend());
}

TrayWindowBehaviour& behaviourOf(MainWindow& form)
{
    return *form.findChild<TrayWindowBehaviour*>();
}

void appendFolder(MainWindow& form)
{
    form.controls().folderList->appendEntry(QStringLiteral("/srv/data"));
}

bool hiddenInTray(const MainWindow& form)
{
    return form.isHidden();
}

bool shownNormal(const MainWindow& form)
{
    return form.isVisible() && !(form.windowState() & Qt::WindowMinimized);
}

bool ordinaryMinimised(const MainWindow& form)
{
    return form.isVisible() && (form.windowState() & Qt::WindowMinimized);
}

} // namespace

class TestTrayWindow : public WindowTest
{
    Q_OBJECT

    // The window as the program starts it: loaded, then shown.
    std::unique_ptr<MainWindow> start(FakeTrayBackend::Options options)
    {
        FakeTrayFactory factory(options);
        auto form = std::make_unique<MainWindow>();
        form->load();
        form->show();
        return form;
    }

    void userMinimises(MainWindow& form) { form.setWindowState(form.windowState() | Qt::WindowMinimized); }

    void leftClickOnIcon(MainWindow& form) { Q_EMIT fakeOf(form).activated(QSystemTrayIcon::Trigger); }

private Q_SLOTS:
    void init() { beginTest(); }

    void cleanup() { endTest(); }

    void startInTrayStartsHiddenWithTheBalloon()
    {
        WriteSetting(SettingsKeys::StartInTray, QStringLiteral("On"));
        auto form = start({ .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*form);
        QVERIFY(form->controls().startInTrayBox->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(hiddenInTray(*form), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(tray.count("showMessage"), 1, 30000);
        QCOMPARE(tray.balloonTitle, QStringLiteral("Tessaly"));
        QVERIFY(tray.balloonText.startsWith(QStringLiteral("has been minimized to the system tray.\r\n")));
        QVERIFY(tray.balloonText.contains(QStringLiteral("(Quarnell)")));
        QVERIFY(tray.balloonText.contains(QStringLiteral("blue")));
        QCOMPARE(tray.balloonMilliseconds, 5000);
        QVERIFY(form->controls().trayIcon->isInTray());
        QCOMPARE(tray.tipShown, QStringLiteral("Tessaly"));

        leftClickOnIcon(*form);
        QVERIFY(shownNormal(*form));
        QVERIFY(behaviourOf(*form).minimizedToTrayOnce());
    }

    void firstMinimiseHidesLaterOnesDoNot()
    {
        auto form = start({ .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*form);
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // A left click on the icon over a shown window changes nothing.
        leftClickOnIcon(*form);
        QVERIFY(shownNormal(*form));

        userMinimises(*form);
        QVERIFY(hiddenInTray(*form));
        QCOMPARE(tray.count("showMessage"), 1);
        QCOMPARE(form->controls().trayIcon->onceBalloonCount(), 1);
        leftClickOnIcon(*form);
        QVERIFY(shownNormal(*form));

        userMinimises(*form);
        QVERIFY(ordinaryMinimised(*form));
        QCOMPARE(tray.count("showMessage"), 1);
        leftClickOnIcon(*form);
        QVERIFY(shownNormal(*form));

        // The icon stayed in the tray all along.
        QCOMPARE(tray.count("add"), 1);
        QCOMPARE(tray.count("remove"), 0);
        form->close();
        QCOMPARE(tray.count("remove"), 1);
    }

    void rightAndDoubleClicksDoNotRestore()
    {
        auto form = start({ .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*form);
        userMinimises(*form);
        QVERIFY(hiddenInTray(*form));
        Q_EMIT tray.activated(QSystemTrayIcon::Context);
        Q_EMIT tray.activated(QSystemTrayIcon::MiddleClick);
        Q_EMIT tray.activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(hiddenInTray(*form));
        // A double click reaches us as a click first, then the double click.
        Q_EMIT tray.activated(QSystemTrayIcon::Trigger);
        Q_EMIT tray.activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(shownNormal(*form));
    }

    void windowLivesWhileTheBalloonWaits()
    {
        auto form = start({});
        FakeTrayBackend& tray = fakeOf(*form);
        bool restoredDuringWait = false;
        bool balloonUpWhenRestored = false;
        QTimer::singleShot(0, this, [&] {
            leftClickOnIcon(*form);
            restoredDuringWait = shownNormal(*form);
            balloonUpWhenRestored = form->controls().trayIcon->isBalloonVisible();
            Q_EMIT tray.messageClicked();
        });
        userMinimises(*form);
        QVERIFY(restoredDuringWait);
        QVERIFY(balloonUpWhenRestored);
        QVERIFY(shownNormal(*form));
        QVERIFY(!form->controls().trayIcon->isBalloonVisible());
        // Clicked away: no clearing call after the wait.
        QCOMPARE(tray.count("hideMessage"), 0);
    }

    void closingDuringTheBalloonEndsTheWait()
    {
        auto form = start({});
        FakeTrayBackend& tray = fakeOf(*form);
        appendFolder(*form);
        QTimer::singleShot(0, form.get(), &QWidget::close);
        userMinimises(*form);
        // The icon left with the close, and its balloon with it; the list was saved.
        QVERIFY(!form->controls().trayIcon->isInTray());
        QVERIFY(!form->controls().trayIcon->isBalloonVisible());
        QCOMPARE(tray.count("remove"), 1);
        QCOMPARE(ReadSetting(SettingsKeys::Folders), QStringLiteral("/srv/data;"));
    }

    // A panel that restarts or crashes takes the icon with it: a window hidden in the tray comes
    // back, even during the balloon, and a shown one is left alone.
    void losingTheTrayBringsAHiddenWindowBack()
    {
        auto form = start({});
        FakeTrayBackend& tray = fakeOf(*form);
        QTimer::singleShot(0, this, [&] { tray.setAvailable(false); });
        userMinimises(*form);
        QVERIFY(shownNormal(*form));
        QVERIFY(!form->controls().trayIcon->isBalloonVisible());

        tray.setAvailable(true);
        userMinimises(*form);
        QVERIFY(ordinaryMinimised(*form));
        tray.setAvailable(false);
        QVERIFY(ordinaryMinimised(*form));

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
        auto form = start({ .available = false, .clickBalloons = true });
        FakeTrayBackend& tray = fakeOf(*form);
        userMinimises(*form);
        QVERIFY(ordinaryMinimised(*form));
        QCOMPARE(tray.count("showMessage"), 0);

        // A notification area that turns up later is used from then on.
        form->setWindowState(Qt::WindowNoState);
        tray.setAvailable(true);
        userMinimises(*form);
        QVERIFY(hiddenInTray(*form));
        QCOMPARE(tray.count("showMessage"), 1);
    }

    void startInTrayOptionIsStoredAtOnce()
    {
        auto form = start({ .clickBalloons = true });
        QVERIFY(!form->controls().startInTrayBox->isHidden());
        form->controls().startInTrayBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::StartInTray), QStringLiteral("On"));
        form->controls().startInTrayBox->click();
        QCOMPARE(ReadSetting(SettingsKeys::StartInTray), QStringLiteral("Off"));
    }

    void helpNamesTheContactPage()
    {
        auto form = start({ .clickBalloons = true });
        QTest::mouseClick(form->controls().helpButton, Qt::LeftButton);
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
        auto form = start({ .clickBalloons = true });
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QWindow* window = form->windowHandle();
        auto moveOver = [&](QWidget* widget, QPoint at) { QTest::mouseMove(window, widget->mapTo(form.get(), at)); };
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
            { form.get(), QPoint(2, 2), Pointer::Default },
            { form->controls().statusFrame, frameEdge(form->controls().statusFrame), Pointer::Default },
            { form->controls().backupFolderFrame, frameEdge(form->controls().backupFolderFrame), Pointer::Default },
            { form->controls().optionsFrame, frameEdge(form->controls().optionsFrame), Pointer::Default },
            { form->controls().fileNameFrame, frameEdge(form->controls().fileNameFrame), Pointer::Default },
            { form->controls().prefixEdit, centre(form->controls().prefixEdit), Pointer::Default },
            { form->controls().backupFolderEdit, centre(form->controls().backupFolderEdit), Pointer::Default },
            { form->controls().intervalList, centre(form->controls().intervalList), Pointer::Default },
            { form->controls().intervalList->header(), centre(form->controls().intervalList->header()),
              Pointer::Default },
            { form->controls().intervalList->viewport(),
              QPoint(5, form->controls().intervalList->viewport()->height() - 5), Pointer::Default },
            { form->controls().chooseBackupFolderButton, centre(form->controls().chooseBackupFolderButton),
              Pointer::Custom },
            { form->controls().viewBackupFolderButton, centre(form->controls().viewBackupFolderButton),
              Pointer::Custom },
            { form->controls().viewHistoryButton, centre(form->controls().viewHistoryButton), Pointer::Custom },
            { form->controls().copyHistoryButton, centre(form->controls().copyHistoryButton), Pointer::Custom },
            { form->controls().autoBackupButton, centre(form->controls().autoBackupButton), Pointer::Custom },
            { form->controls().backupNowButton, centre(form->controls().backupNowButton), Pointer::Custom },
            { form->controls().addFolderButton, centre(form->controls().addFolderButton), Pointer::Custom },
            { form->controls().clearListButton, centre(form->controls().clearListButton), Pointer::Custom },
            { form->controls().loadSamplesButton, centre(form->controls().loadSamplesButton), Pointer::Custom },
            { form->controls().helpButton, centre(form->controls().helpButton), Pointer::Custom },
            { form->controls().clearHistoryButton, centre(form->controls().clearHistoryButton), Pointer::Custom },
        };
        for (const Row& row : table) {
            const QString name = row.widget->objectName();
            // The point really lies on that control.
            QWidget* under = form->childAt(row.widget->mapTo(form.get(), row.at));
            QVERIFY2(under == row.widget || (under && row.widget->isAncestorOf(under))
                         || (row.widget == form.get() && !under),
                     qPrintable(name));
            const Pointer other = row.pointer == Pointer::Custom ? Pointer::Default : Pointer::Custom;
            form->setMousePointer(other);
            moveOver(row.widget, row.at);
            QVERIFY2(form->mousePointer() == row.pointer, qPrintable(name));
            QCOMPARE(form->cursor().shape() == Qt::ArrowCursor, row.pointer == Pointer::Default);

            // The busy pointer is never replaced.
            form->setMousePointer(Pointer::Busy);
            moveOver(row.widget, row.at);
            QVERIFY2(form->isBusy(), qPrintable(name));
        }

        // Controls without a rule leave the pointer as it was, also where they lie inside a frame.
        for (QWidget* widget : { static_cast<QWidget*>(form->controls().startWithSystemBox),
                                 static_cast<QWidget*>(form->controls().startInTrayBox),
                                 static_cast<QWidget*>(form->controls().dateStampBox),
                                 static_cast<QWidget*>(form->controls().timeStampBox),
                                 static_cast<QWidget*>(form->controls().progressBar) }) {
            for (const Pointer pointer : { Pointer::Custom, Pointer::Default }) {
                form->setMousePointer(pointer);
                moveOver(widget, centre(widget));
                QVERIFY2(form->mousePointer() == pointer, qPrintable(widget->objectName()));
            }
        }
    }
};

QTEST_MAIN(TestTrayWindow)
#include "TestTrayWindow.moc"
