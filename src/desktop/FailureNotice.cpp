#include "desktop/FailureNotice.h"

#include "backup/Clock.h"
#include "desktop/TrayIcon.h"
#include "desktop/WarningIcon.h"

#include <QEvent>
#include <QWidget>

namespace {

QString firstSentence(const RunOutcome& outcome)
{
    const bool one = outcome.failed == 1;
    return QStringLiteral("%1 of %2 %3 %4 not backed up%5 \"%6\".")
        .arg(QString::number(outcome.failed), QString::number(outcome.folders),
             outcome.folders == 1 ? QStringLiteral("folder") : QStringLiteral("folders"),
             one ? QStringLiteral("was") : QStringLiteral("were"),
             one ? QStringLiteral(":") : QStringLiteral(", the first"), outcome.firstFailed);
}

} // namespace

FailureNotice::FailureNotice(QWidget& window, TrayIcon& tray)
    : QObject(&window)
    , m_window(window)
    , m_tray(tray)
{
    connect(&m_tray, &TrayIcon::balloonClicked, this, [this] {
        if (m_balloonOnShow)
            Q_EMIT logWanted();
    });
    connect(&m_tray, &TrayIcon::balloonGone, this, [this] { m_balloonOnShow = false; });
    m_window.installEventFilter(this);
}

QString FailureNotice::balloonText(const RunOutcome& outcome)
{
    return firstSentence(outcome) + QStringLiteral("\r\n")
        + (outcome.stoppedBecause.isEmpty() ? QStringLiteral("The history log has the details: click here to open it.")
                                            : outcome.stoppedBecause + u'.');
}

QString FailureNotice::statusText(const RunOutcome& outcome)
{
    return firstSentence(outcome) + u' '
        + (outcome.stoppedBecause.isEmpty() ? QStringLiteral("The history log has the details.")
                                            : outcome.stoppedBecause + u'.');
}

void FailureNotice::runEnded(const RunOutcome& outcome, bool timed)
{
    if (outcome.fullySucceeded()) {
        unmarkIcon();
        m_holdsStatusLine = false;
        return;
    }
    if (!timed || outcome.failed == 0)
        return;
    if (!m_tray.isReachable()) {
        Q_EMIT statusLineWanted(statusText(outcome));
        m_holdsStatusLine = true;
        return;
    }
    markIcon();
    // Shown once per failed run and left to the desktop's timing: the run's caller is not held up.
    m_tray.showBalloon(balloonText(outcome), QStringLiteral("Tessaly"), 0, false);
    m_balloonOnShow = m_tray.isBalloonVisible();
}

void FailureNotice::markIcon()
{
    if (!m_marked) {
        m_ordinaryIcon = m_tray.icon();
        m_ordinaryTip = m_tray.tip();
        m_tray.setIcon(WarningIcon(m_ordinaryIcon));
        m_marked = true;
    }
    m_tray.setTip(m_ordinaryTip + QStringLiteral(": the last backup failed at ") + CurrentDateTimeText());
}

void FailureNotice::unmarkIcon()
{
    if (!m_marked)
        return;
    m_marked = false;
    m_tray.setIcon(m_ordinaryIcon);
    m_tray.setTip(m_ordinaryTip);
}

bool FailureNotice::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange:
        if (watched == &m_window && m_window.isVisible() && !(m_window.windowState() & Qt::WindowMinimized))
            unmarkIcon();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
