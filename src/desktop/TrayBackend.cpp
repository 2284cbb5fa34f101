#include "desktop/TrayBackend.h"

namespace {

TrayBackend::Factory& factory()
{
    static TrayBackend::Factory installed;
    return installed;
}

// How long a balloon stays when the caller leaves its display time to the desktop; Qt's own
// balloon would otherwise stay until clicked.
constexpr int DesktopBalloonMilliseconds = 10000;

} // namespace

std::unique_ptr<TrayBackend> TrayBackend::create()
{
    if (factory())
        return factory()();
    return std::make_unique<QtTrayBackend>();
}

void TrayBackend::setFactory(Factory newFactory)
{
    factory() = std::move(newFactory);
}

QtTrayBackend::QtTrayBackend()
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &TrayBackend::activated);
    connect(&m_icon, &QSystemTrayIcon::messageClicked, this, [this] {
        ++m_balloon;
        Q_EMIT messageClicked();
    });
    m_availabilityCheck.setInterval(1000);
    connect(&m_availabilityCheck, &QTimer::timeout, this, &QtTrayBackend::checkAvailability);
}

void QtTrayBackend::checkAvailability()
{
    const bool available = isSystemTrayAvailable();
    if (available == m_available)
        return;
    m_available = available;
    Q_EMIT availabilityChanged();
}

bool QtTrayBackend::isSystemTrayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtTrayBackend::supportsMessages() const
{
    return QSystemTrayIcon::supportsMessages();
}

void QtTrayBackend::addIcon(const QIcon& icon, const QString& tip)
{
    if (!icon.isNull())
        m_icon.setIcon(icon);
    m_icon.setToolTip(tip);
    m_icon.show();
    m_available = isSystemTrayAvailable();
    m_availabilityCheck.start();
}

void QtTrayBackend::removeIcon()
{
    m_availabilityCheck.stop();
    m_icon.hide();
}

void QtTrayBackend::setIcon(const QIcon& icon)
{
    m_icon.setIcon(icon);
}

void QtTrayBackend::setToolTip(const QString& tip)
{
    m_icon.setToolTip(tip);
}

void QtTrayBackend::showMessage(const QString& title, const QString& text, int milliseconds)
{
    const quint64 balloon = ++m_balloon;
    const int shown = milliseconds > 0 ? milliseconds : DesktopBalloonMilliseconds;
    showWhenPlaced(balloon, title, text, shown, 0);
    QTimer::singleShot(shown, this, [this, balloon] {
        if (balloon == m_balloon)
            Q_EMIT messageHidden();
    });
}

void QtTrayBackend::showWhenPlaced(quint64 balloon, const QString& title, const QString& text, int shown, int attempt)
{
    if (balloon != m_balloon)
        return;
    // An icon the notification area has not taken in yet has no place on the screen, and Qt would
    // point the balloon at the screen's corner. Give the area a moment.
    constexpr int Attempts = 20;
    constexpr int Pause = 100;
    if (m_icon.geometry().topLeft().isNull() && attempt < Attempts) {
        QTimer::singleShot(Pause, this,
                           [=, this] { showWhenPlaced(balloon, title, text, shown - Pause, attempt + 1); });
        return;
    }
    if (shown > 0)
        m_icon.showMessage(title, text, QSystemTrayIcon::NoIcon, shown);
}

void QtTrayBackend::hideMessage()
{
    ++m_balloon;
    // An empty balloon takes the current one down.
    m_icon.showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 0);
}
