#include "desktop/FailureNotice.h"

#include "app/Form1.h"
#include "backup/Clock.h"
#include "backup/HistoryButtons.h"
#include "desktop/WarningIcon.h"
#include "desktop/cSysTray.h"

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

FailureNotice::FailureNotice(Form1& form, HistoryButtons& history)
    : QObject(&form)
    , m_form(form)
    , m_history(history)
{
    connect(m_form.cSysTray1, &cSysTray::balloonClicked, this, [this] {
        if (m_balloonOnShow)
            m_history.PushButton3_Click();
    });
    connect(m_form.cSysTray1, &cSysTray::balloonGone, this, [this] { m_balloonOnShow = false; });
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
    cSysTray& tray = *m_form.cSysTray1;
    if (!tray.IconReachable()) {
        m_form.setStatus(statusText(outcome));
        m_holdsStatusLine = true;
        return;
    }
    markIcon();
    // Shown once per failed run and left to the desktop's timing: the run's caller is not held up.
    tray.ShowBalloon(balloonText(outcome), QStringLiteral("Tessaly"), 0, false);
    m_balloonOnShow = tray.BalloonVisible();
}

void FailureNotice::markIcon()
{
    cSysTray& tray = *m_form.cSysTray1;
    if (!m_marked) {
        m_ordinaryIcon = tray.TrayIcon();
        m_ordinaryTip = tray.TrayTip();
        tray.setTrayIcon(WarningIcon(m_ordinaryIcon));
        m_marked = true;
    }
    tray.setTrayTip(m_ordinaryTip + QStringLiteral(": the last backup failed at ") + CurrentDateTimeText());
}

void FailureNotice::unmarkIcon()
{
    if (!m_marked)
        return;
    m_marked = false;
    m_form.cSysTray1->setTrayIcon(m_ordinaryIcon);
    m_form.cSysTray1->setTrayTip(m_ordinaryTip);
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
