#include "desktop/TrayIcon.h"

#include "base/AppError.h"
#include "base/RoutineNames.h"
#include "desktop/TrayBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

QString CutTrayText(const QString& text, int length)
{
    if (text.size() <= length)
        return text;
    if (length > 0 && text.at(length - 1).isHighSurrogate())
        --length;
    return text.left(length);
}

TrayIcon::TrayIcon(QObject* parent, std::unique_ptr<TrayBackend> backend)
    : QObject(parent)
    , m_backend(backend ? std::move(backend) : TrayBackend::create())
{
    connect(m_backend.get(), &TrayBackend::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            dispatchTrayMessage(LeftUp, iconId());
            break;
        case QSystemTrayIcon::DoubleClick:
            dispatchTrayMessage(LeftDoubleClick, iconId());
            break;
        case QSystemTrayIcon::Context:
            dispatchTrayMessage(RightUp, iconId());
            break;
        case QSystemTrayIcon::MiddleClick:
        case QSystemTrayIcon::Unknown:
            break;
        }
    });
    connect(m_backend.get(), &TrayBackend::messageClicked, this,
            [this] { dispatchTrayMessage(BalloonUserClick, iconId()); });
    connect(m_backend.get(), &TrayBackend::messageHidden, this, [this] { dispatchTrayMessage(BalloonHide, iconId()); });
    connect(m_backend.get(), &TrayBackend::availabilityChanged, this, [this] {
        if (!m_iconAdded || m_backend->isSystemTrayAvailable())
            return;
        // A balloon goes with its notification area; a wait for it ends here.
        dispatchTrayMessage(BalloonHide, iconId());
        Q_EMIT iconLost();
    });
}

TrayIcon::~TrayIcon()
{
    setInTray(false);
}

void TrayIcon::setInTray(bool inTray)
{
    if (inTray == m_inTray)
        return;
    if (inTray) {
        m_backend->addIcon(m_icon, CutTrayText(m_tip, TipLength));
        m_iconAdded = true;
    } else if (m_iconAdded) {
        m_backend->removeIcon();
        m_iconAdded = false;
        // The balloon goes with its icon; a wait for it ends here.
        dispatchTrayMessage(BalloonHide, iconId());
    }
    m_inTray = inTray;
}

void TrayIcon::setIcon(const QIcon& icon)
{
    if (icon.isNull())
        return;
    if (m_iconAdded)
        m_backend->setIcon(icon);
    m_icon = icon;
}

void TrayIcon::setTip(const QString& tip)
{
    if (m_iconAdded)
        m_backend->setToolTip(CutTrayText(tip, TipLength));
    m_tip = tip;
}

bool TrayIcon::isReachable() const
{
    return m_iconAdded && m_backend->isSystemTrayAvailable();
}

void TrayIcon::dispatchTrayMessage(quint32 code, quint32 id)
{
    switch (code) {
    case MouseMoveCode:
        Q_EMIT mouseMoved(id);
        break;
    case LeftDown:
        Q_EMIT mousePressed(1, id);
        break;
    case LeftUp:
        Q_EMIT mouseReleased(1, id);
        break;
    case LeftDoubleClick:
        Q_EMIT mouseDoubleClicked(1, id);
        break;
    case RightDown:
        Q_EMIT mousePressed(2, id);
        break;
    case RightUp:
        Q_EMIT mouseReleased(2, id);
        break;
    case RightDoubleClick:
        Q_EMIT mouseDoubleClicked(2, id);
        break;
    case BalloonHide:
    case BalloonTimeout:
    case BalloonUserClick:
        if (m_balloonVisible) {
            if (code == BalloonUserClick)
                Q_EMIT balloonClicked();
            m_balloonVisible = false;
            Q_EMIT balloonGone();
        }
        break;
    default:
        break;
    }
}

void TrayIcon::showBalloon(const QString& text, const QString& title, qint32 timeout, bool once)
{
    if (once && m_onceBalloonCount >= 1)
        return;
    if (timeout > LongestTimeout)
        throw AppError::overflow(Routine::ShowBalloon);
    // Waiting for a balloon nobody can see would only freeze the caller.
    if (!isReachable() || !m_backend->supportsMessages())
        return;
    const int milliseconds = timeout > 0 ? timeout * 1000 : 0;
    if (m_balloonVisible)
        dispatchTrayMessage(BalloonHide, iconId());
    const quint64 balloon = ++m_balloonShown;
    m_backend->showMessage(CutTrayText(title, BalloonTitleLength), CutTrayText(text, BalloonTextLength), milliseconds);
    m_balloonVisible = true;
    if (once)
        ++m_onceBalloonCount;
    if (timeout <= 0 || !m_balloonVisible)
        return;

    // Window events keep flowing while the balloon is up: the click that ends it is one of them.
    QPointer<TrayIcon> self(this);
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    const auto onShow = [&] { return self && m_balloonVisible && balloon == m_balloonShown; };
    while (onShow() && clock.elapsed() < milliseconds) {
        wake.start(int(milliseconds - clock.elapsed()));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    if (onShow()) {
        m_backend->hideMessage();
        dispatchTrayMessage(BalloonTimeout, iconId());
    }
}
