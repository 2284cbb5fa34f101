#include "desktop/FailureNotice.h"

#include "backup/ArchiveName.h"
#include "backup/Clock.h"
#include "backup/PathHelpers.h"
#include "base/SettingsStore.h"
#include "desktop/TrayIcon.h"

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

QString folderName(const LastBackups::Age& age)
{
    const QString name = LastPathPart(FolderPathOf(age.entry, PathSeparator()), PathSeparator());
    return name.isEmpty() ? age.entry : name;
}

const QString ClickForLog = QStringLiteral("The history log has the details: click here to open it.");

} // namespace

FailureNotice::FailureNotice(QWidget& window, TrayIcon& tray)
    : QObject(&window)
    , m_window(window)
    , m_tray(tray)
    , m_status(tray)
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
        + (outcome.stoppedBecause.isEmpty() ? ClickForLog : outcome.stoppedBecause + u'.');
}

QString FailureNotice::statusText(const RunOutcome& outcome)
{
    return firstSentence(outcome) + u' '
        + (outcome.stoppedBecause.isEmpty() ? QStringLiteral("The history log has the details.")
                                            : outcome.stoppedBecause + u'.');
}

QString FailureNotice::overdueText(const LastBackups::Age& oldest)
{
    const QString since = RegionalDateTime(oldest.since.toLocalTime());
    return oldest.complete
        ? QStringLiteral("No complete backup of \"%1\" since %2.").arg(folderName(oldest), since)
        : QStringLiteral("No complete backup of \"%1\" yet; it is listed since %2.").arg(folderName(oldest), since);
}

QString FailureNotice::ageLine(const LastBackups::Age& oldest)
{
    return oldest.complete
        ? QStringLiteral("Oldest backup: %1 (%2)").arg(RegionalDateTime(oldest.since.toLocalTime()), folderName(oldest))
        : QStringLiteral("Not backed up yet: %1").arg(folderName(oldest));
}

void FailureNotice::runEnded(const RunOutcome& outcome, bool timed)
{
    if (outcome.fullySucceeded()) {
        m_status.setFailure(QString());
        m_failureInStatusLine = false;
        return;
    }
    if (!timed || outcome.failed == 0)
        return;
    if (!m_tray.isReachable()) {
        Q_EMIT statusLineWanted(statusText(outcome));
        m_failureInStatusLine = true;
        return;
    }
    m_status.setFailure(QStringLiteral("the last backup failed at ") + CurrentDateTimeText());
    // Shown once per failed run and left to the desktop's timing: the run's caller is not held up.
    m_tray.showBalloon(balloonText(outcome), QStringLiteral("Tessaly"), 0, false);
    m_balloonOnShow = m_tray.isBalloonVisible();
}

void FailureNotice::backupsAged(const std::optional<LastBackups::Age>& oldest, bool overdue)
{
    m_status.setAge(oldest ? ageLine(*oldest) : QString());
    m_status.setOverdue(overdue);
    if (!overdue)
        m_overdueInStatusLine = false;
    else if (overdueNoticeDue())
        tellOverdue(*oldest);
}

bool FailureNotice::overdueNoticeDue() const
{
    const QDateTime last = MomentFromStore(SettingsStore::ReadSetting(SettingsKeys::OverdueNoticeShown));
    const QDateTime now = Clock::currentDateTime();
    // A notice stamped in the future is from a clock that was wrong.
    return !last.isValid() || last > now || last.secsTo(now) >= 24 * 60 * 60;
}

void FailureNotice::tellOverdue(const LastBackups::Age& oldest)
{
    SettingsStore::WriteSetting(SettingsKeys::OverdueNoticeShown, StoredMoment(Clock::currentDateTime()));
    if (!m_tray.isReachable()) {
        Q_EMIT statusLineWanted(overdueText(oldest));
        m_overdueInStatusLine = true;
        return;
    }
    m_tray.showBalloon(overdueText(oldest) + QStringLiteral("\r\n") + ClickForLog, QStringLiteral("Tessaly"), 0, false);
    m_balloonOnShow = m_tray.isBalloonVisible();
}

bool FailureNotice::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange:
        if (watched == &m_window && m_window.isVisible() && !(m_window.windowState() & Qt::WindowMinimized))
            m_status.setFailure(QString());
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
