#include "FakeTrayBackend.h"
#include "base/AppError.h"
#include "desktop/TrayIcon.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

QIcon solidIcon(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

class TestTrayIcon : public QObject
{
    Q_OBJECT
    std::unique_ptr<TrayIcon> m_tray;
    FakeTrayBackend* m_fake = nullptr;

    void make(FakeTrayBackend::Options options = {})
    {
        auto fake = std::make_unique<FakeTrayBackend>(options);
        m_fake = fake.get();
        m_tray = std::make_unique<TrayIcon>(nullptr, std::move(fake));
    }

private Q_SLOTS:
    void cleanup() { m_tray.reset(); }

    void iconComesAndGoesOnce()
    {
        make();
        QCOMPARE(m_tray->tip(), QStringLiteral("Telnet Server"));
        QVERIFY(!m_tray->isInTray());
        m_tray->setInTray(false);
        QVERIFY(m_fake->calls.isEmpty());

        // Tip and icon given while the icon is absent are what the add uses.
        m_tray->setTip(QString());
        m_tray->setIcon(solidIcon(Qt::blue));
        QVERIFY(m_fake->calls.isEmpty());
        m_tray->setInTray(true);
        m_tray->setInTray(true);
        QCOMPARE(m_fake->calls, QStringList { QStringLiteral("add") });
        QCOMPARE(m_fake->tipShown, QString());
        QVERIFY(m_tray->isReachable());

        m_tray->setTip(QStringLiteral("Tessaly"));
        QCOMPARE(m_fake->tipShown, QStringLiteral("Tessaly"));
        m_tray->setIcon(solidIcon(Qt::red));
        QCOMPARE(m_fake->iconShown.pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));
        // A null picture changes nothing.
        m_tray->setIcon(QIcon());
        QCOMPARE(m_tray->icon().pixmap(16).toImage().pixelColor(8, 8), QColor(Qt::red));
        QCOMPARE(m_fake->count("setIcon"), 1);

        m_tray->setInTray(false);
        m_tray->setInTray(false);
        QCOMPARE(m_fake->count("remove"), 1);
        QVERIFY(!m_tray->isReachable());
        m_tray->setTip(QStringLiteral("later"));
        QCOMPARE(m_fake->count("setToolTip"), 1);

        // Destroying the control takes its icon out of the tray.
        QStringList journal;
        m_fake->journal = &journal;
        m_tray->setInTray(true);
        m_tray.reset();
        QCOMPARE(journal, (QStringList { QStringLiteral("add"), QStringLiteral("remove") }));
    }

    void textsAreCutToTheirFields()
    {
        make({ .clickBalloons = true });
        const QString tip(200, u't');
        m_tray->setTip(tip);
        m_tray->setInTray(true);
        QCOMPARE(m_fake->tipShown, tip.left(127));
        QCOMPARE(m_tray->tip(), tip);

        // A character outside the basic plane at the cut is dropped whole, never halved.
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
        m_tray->setTip(QString(126, u'a') + clef + QStringLiteral("b"));
        QCOMPARE(m_fake->tipShown, QString(126, u'a'));
        m_tray->setTip(QString(125, u'a') + clef + QStringLiteral("b"));
        QCOMPARE(m_fake->tipShown, QString(125, u'a') + clef);

        m_tray->showBalloon(QString(300, u'x'), QString(100, u'y'), 0, false);
        QCOMPARE(m_fake->balloonText, QString(255, u'x'));
        QCOMPARE(m_fake->balloonTitle, QString(63, u'y'));
        m_tray->showBalloon(QStringLiteral("short"), QStringLiteral("title"), 0, false);
        QCOMPARE(m_fake->balloonText, QStringLiteral("short"));
        QCOMPARE(m_fake->balloonTitle, QStringLiteral("title"));
    }

    void trayActionsBecomeMouseEvents()
    {
        make();
        QSignalSpy moves(m_tray.get(), &TrayIcon::mouseMoved);
        QSignalSpy downs(m_tray.get(), &TrayIcon::mousePressed);
        QSignalSpy ups(m_tray.get(), &TrayIcon::mouseReleased);
        QSignalSpy doubles(m_tray.get(), &TrayIcon::mouseDoubleClicked);

        Q_EMIT m_fake->activated(QSystemTrayIcon::Trigger);
        Q_EMIT m_fake->activated(QSystemTrayIcon::Context);
        Q_EMIT m_fake->activated(QSystemTrayIcon::DoubleClick);
        Q_EMIT m_fake->activated(QSystemTrayIcon::MiddleClick);
        Q_EMIT m_fake->activated(QSystemTrayIcon::Unknown);
        QCOMPARE(ups.size(), 2);
        QCOMPARE(ups.at(0), (QVariantList { qint16(1), quint32(0) }));
        QCOMPARE(ups.at(1), (QVariantList { qint16(2), quint32(0) }));
        QCOMPARE(doubles.size(), 1);
        QCOMPARE(doubles.at(0), (QVariantList { qint16(1), quint32(0) }));
        QVERIFY(moves.isEmpty() && downs.isEmpty());

        // The shell's codes, one by one.
        ups.clear();
        doubles.clear();
        for (quint32 code = 0x200; code <= 0x209; ++code)
            m_tray->dispatchTrayMessage(code, 7);
        m_tray->dispatchTrayMessage(0x402, 7);
        QCOMPARE(moves.size(), 1);
        QCOMPARE(moves.at(0), QVariantList { quint32(7) });
        QCOMPARE(downs.size(), 2);
        QCOMPARE(downs.at(0).at(0).value<qint16>(), qint16(1));
        QCOMPARE(downs.at(1).at(0).value<qint16>(), qint16(2));
        QCOMPARE(ups.size(), 2);
        QCOMPARE(doubles.size(), 2);
        QCOMPARE(doubles.at(1), (QVariantList { qint16(2), quint32(7) }));
    }

    void onceBalloonShowsOnce()
    {
        make({ .clickBalloons = true });
        m_tray->setInTray(true);
        m_tray->showBalloon(QStringLiteral("first"), QStringLiteral("T"), 5, true);
        QCOMPARE(m_tray->onceBalloonCount(), 1);
        m_tray->showBalloon(QStringLiteral("second"), QStringLiteral("T"), 5, true);
        QCOMPARE(m_fake->count("showMessage"), 1);
        QCOMPARE(m_fake->balloonText, QStringLiteral("first"));
        m_tray->showBalloon(QStringLiteral("always"), QStringLiteral("T"), 5, false);
        m_tray->showBalloon(QStringLiteral("always"), QStringLiteral("T"), 5, false);
        QCOMPARE(m_fake->count("showMessage"), 3);
        QCOMPARE(m_tray->onceBalloonCount(), 1);
        QCOMPARE(m_fake->balloonMilliseconds, 5000);
    }

    void clickEndsTheWaitWithoutClearing()
    {
        make();
        m_tray->setInTray(true);
        // The wait lets window events through: the timers below fire inside it.
        bool visibleDuringWait = false;
        QTimer::singleShot(0, this, [&] { visibleDuringWait = m_tray->isBalloonVisible(); });
        QTimer::singleShot(10, this, [&] { Q_EMIT m_fake->messageClicked(); });
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 300, false);
        QVERIFY(visibleDuringWait);
        QVERIFY(!m_tray->isBalloonVisible());
        QCOMPARE(m_fake->count("hideMessage"), 0);
        QCOMPARE(m_fake->balloonMilliseconds, 300000);
    }

    void timeoutTakesTheBalloonDown()
    {
        make();
        m_tray->setInTray(true);
        QElapsedTimer clock;
        clock.start();
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 1, false);
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_fake->calls,
                 (QStringList { QStringLiteral("add"), QStringLiteral("showMessage"), QStringLiteral("hideMessage") }));
        QVERIFY(!m_tray->isBalloonVisible());
    }

    void timeoutZeroLeavesTheBalloonToTheDesktop()
    {
        make();
        m_tray->setInTray(true);
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 0, true);
        QCOMPARE(m_fake->balloonMilliseconds, 0);
        QVERIFY(m_tray->isBalloonVisible());
        QCOMPARE(m_fake->count("hideMessage"), 0);
        Q_EMIT m_fake->messageHidden();
        QVERIFY(!m_tray->isBalloonVisible());

        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), -3, false);
        QCOMPARE(m_fake->balloonMilliseconds, 0);
    }

    void timeoutTooLongToCountOverflows()
    {
        make({ .clickBalloons = true });
        m_tray->setInTray(true);
        try {
            m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 2147484, true);
            QFAIL("no error raised");
        } catch (const AppError& error) {
            QCOMPARE(error.number(), 6u);
            QCOMPARE(error.description(), QStringLiteral("Overflow"));
        }
        QCOMPARE(m_fake->count("showMessage"), 0);
        QCOMPARE(m_tray->onceBalloonCount(), 0);
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 2147483, true);
        QCOMPARE(m_fake->balloonMilliseconds, 2147483000);
    }

    void noBalloonWithoutSomewhereToShowIt()
    {
        make({ .available = false });
        m_tray->setInTray(true);
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 600, true);
        QVERIFY(!m_tray->isReachable());
        QCOMPARE(m_fake->count("showMessage"), 0);
        QCOMPARE(m_tray->onceBalloonCount(), 0);

        make({ .messages = false });
        m_tray->setInTray(true);
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 600, true);
        QCOMPARE(m_fake->count("showMessage"), 0);

        make();
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 600, true);
        QCOMPARE(m_fake->count("showMessage"), 0);
    }

    void removingTheIconEndsTheWait()
    {
        make();
        m_tray->setInTray(true);
        QTimer::singleShot(10, this, [&] { m_tray->setInTray(false); });
        m_tray->showBalloon(QStringLiteral("text"), QStringLiteral("title"), 300, false);
        QVERIFY(!m_tray->isBalloonVisible());
        QCOMPARE(m_fake->count("hideMessage"), 0);
    }
};

QTEST_MAIN(TestTrayIcon)
#include "TestTrayIcon.moc"
