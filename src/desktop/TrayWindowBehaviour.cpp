#include "desktop/TrayWindowBehaviour.h"

#include "base/ErrorTrap.h"
#include "base/HomePage.h"
#include "base/Prompter.h"
#include "base/RoutineNames.h"
#include "base/SettingsStore.h"
#include "desktop/TrayIcon.h"

#include <QCheckBox>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

TrayWindowBehaviour::TrayWindowBehaviour(QWidget& window, TrayIcon& tray, QCheckBox* startInTrayBox,
                                         QPushButton* helpButton, std::function<bool()> isClosed)
    : QObject(&window)
    , m_window(window)
    , m_tray(tray)
    , m_startInTrayBox(startInTrayBox)
    , m_isClosed(std::move(isClosed))
{
    connect(m_startInTrayBox, &QCheckBox::stateChanged, this, &TrayWindowBehaviour::storeStartInTray);
    connect(&m_tray, &TrayIcon::mouseReleased, this, &TrayWindowBehaviour::onTrayMouseReleased);
    connect(&m_tray, &TrayIcon::iconLost, this, &TrayWindowBehaviour::trayLost);
    connect(helpButton, &QPushButton::clicked, this, &TrayWindowBehaviour::showHelp);
    m_window.installEventFilter(this);
}

QString TrayWindowBehaviour::balloonTitle()
{
    return QStringLiteral("Tessaly");
}

QString TrayWindowBehaviour::balloonText()
{
    return QStringLiteral("has been minimized to the system tray.\r\n"
                          "Click the blue Tessaly icon (Quarnell) in the system tray to bring the software back.");
}

QString TrayWindowBehaviour::helpText()
{
    return QStringLiteral("Questions? Please contact Team Quarnell at ") + QLatin1String(ContactPageAddress);
}

void TrayWindowBehaviour::applyStartInTray()
{
    m_startInTrayBox->setChecked(SettingsStore::ReadSetting(SettingsKeys::StartInTray) == QLatin1String("On"));
    if (!m_startInTrayBox->isChecked())
        return;
    // With a notification area the window goes straight there when it is first shown; it is never
    // minimised, so it comes back normal with nothing of a minimised state left over. Without one
    // it starts as an ordinary minimised window.
    if (m_tray.isReachable())
        m_toTrayWhenShown = true;
    else
        m_window.setWindowState(m_window.windowState() | Qt::WindowMinimized);
}

void TrayWindowBehaviour::windowStateChanged()
{
    if (!(m_window.windowState() & Qt::WindowMinimized) || m_minimizedToTrayOnce || !m_window.isVisible())
        return;
    // Hidden with no icon to click, the window would be lost to the user: it stays an ordinary
    // minimised window.
    if (!m_tray.isReachable())
        return;
    // On X11 the minimised state stays with the hidden window; the restore rule leaves it.
    m_window.hide();
    toTray();
}

bool TrayWindowBehaviour::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Show && m_toTrayWhenShown) {
        m_toTrayWhenShown = false;
        // The show event comes before the window reaches the screen: here it never does.
        m_window.setAttribute(Qt::WA_DontShowOnScreen, true);
        // Hiding inside the show itself would be undone by it.
        QTimer::singleShot(0, this, [this] {
            m_window.hide();
            m_window.setAttribute(Qt::WA_DontShowOnScreen, false);
            toTray();
        });
    }
    return QObject::eventFilter(watched, event);
}

void TrayWindowBehaviour::toTray()
{
    m_minimizedToTrayOnce = true;
    m_tray.showBalloon(balloonText(), balloonTitle(), 5, true);
}

void TrayWindowBehaviour::onTrayMouseReleased(qint16 button, quint32)
{
    if (button != 1)
        return;
    if (m_window.isVisible() && !(m_window.windowState() & Qt::WindowMinimized))
        return;
    showNormalWindow();
}

void TrayWindowBehaviour::showNormalWindow()
{
    m_toTrayWhenShown = false;
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.setVisible(true);
}

void TrayWindowBehaviour::trayLost()
{
    // Hidden with no icon left to click, the window would be lost to the user.
    if (m_minimizedToTrayOnce && m_window.isHidden() && !m_isClosed())
        showNormalWindow();
}

void TrayWindowBehaviour::storeStartInTray()
{
    SettingsStore::WriteSetting(SettingsKeys::StartInTray,
                                m_startInTrayBox->isChecked() ? QStringLiteral("On") : QStringLiteral("Off"));
}

void TrayWindowBehaviour::showHelp()
{
    ErrorTrap trap(Routine::ShowHelp);
    trap.line(10, [&] {
        Prompter::instance().show(helpText(), ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::None);
    });
}
