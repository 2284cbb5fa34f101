#include "desktop/FailureNotice.h"

#include "window/MainWindow.h"
#include "backup/Clock.h"
#include "history/HistoryButtons.h"
#include "desktop/WarningIcon.h"
#include "desktop/TrayIcon.h"

#include <QEvent>

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

FailureNotice::FailureNotice(MainWindow& form, HistoryButtons& history)
    : QObject(&form)
    , m_form(form)
    , m_history(history)
{
    connect(m_form.controls().trayIcon, &TrayIcon::balloonClicked, this, [this] {
        if (m_balloonOnShow)
            m_history.viewLog();
    });
    connect(m_form.controls().trayIcon, &TrayIcon::balloonGone, this, [this] { m_balloonOnShow = false; });
    m_form.installEventFilter(this);
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
    TrayIcon& tray = *m_form.controls().trayIcon;
    if (!tray.isReachable()) {
        m_form.setStatus(statusText(outcome));
        m_holdsStatusLine = true;
        return;
    }
    markIcon();
    // Shown once per failed run and left to the desktop's timing: the run's caller is not held up.
    tray.showBalloon(balloonText(outcome), QStringLiteral("Tessaly"), 0, false);
    m_balloonOnShow = tray.isBalloonVisible();
}

void FailureNotice::markIcon()
{
    TrayIcon& tray = *m_form.controls().trayIcon;
    if (!m_marked) {
        m_ordinaryIcon = tray.icon();
        m_ordinaryTip = tray.tip();
        tray.setIcon(WarningIcon(m_ordinaryIcon));
        m_marked = true;
    }
    tray.setTip(m_ordinaryTip + QStringLiteral(": the last backup failed at ") + CurrentDateTimeText());
}

void FailureNotice::unmarkIcon()
{
    if (!m_marked)
        return;
    m_marked = false;
    m_form.controls().trayIcon->setIcon(m_ordinaryIcon);
    m_form.controls().trayIcon->setTip(m_ordinaryTip);
}

bool FailureNotice::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange:
        if (watched == &m_form && m_form.isVisible() && !(m_form.windowState() & Qt::WindowMinimized))
            unmarkIcon();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
