#pragma once

#include "backup/LastBackups.h"
#include "backup/RunOutcome.h"
#include "desktop/TrayStatus.h"

#include <QObject>
#include <QString>
#include <optional>

class QWidget;
class TrayIcon;

// Tells the user about backups that did not happen, which would otherwise go only to the history
// log. A timed run that left folders not backed up: a balloon on the tray icon (a click opens the
// log), and a warning mark on the icon and a tip that says when, until the window is next shown.
// Backups overdue (no complete backup of a listed folder for twice the interval): the warning mark
// for as long as they are, and a balloon at most once a day. The tip always gives the oldest backup.
// Without a notification area the status line carries the notice until it no longer holds. A
// fully successful run, timed or manual, ends the failure notice; a manual run's failures have
// their own boxes.
class FailureNotice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FailureNotice)
public:
    FailureNotice(QWidget& window, TrayIcon& tray);

    void runEnded(const RunOutcome& outcome, bool timed);
    // The oldest backup of the listed folders (none without folders), and whether it is overdue.
    void backupsAged(const std::optional<LastBackups::Age>& oldest, bool overdue);
    // The countdown leaves the status line alone while it carries a notice.
    bool holdsStatusLine() const { return m_failureInStatusLine || m_overdueInStatusLine; }

    // The balloon's text: how many folders failed, the first of them, where the details are.
    static QString balloonText(const RunOutcome& outcome);
    // The same on one line, without the click.
    static QString statusText(const RunOutcome& outcome);
    // Which folder has not been backed up, and since when.
    static QString overdueText(const LastBackups::Age& oldest);
    // The tip's line about the oldest backup.
    static QString ageLine(const LastBackups::Age& oldest);

Q_SIGNALS:
    // The balloon of a failed run was clicked: the user wants the history log.
    void logWanted();
    // Without a notification area the notice goes to the window's status line.
    void statusLineWanted(const QString& caption);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // At most once a day, across restarts.
    bool overdueNoticeDue() const;
    void tellOverdue(const LastBackups::Age& oldest);

    QWidget& m_window;
    TrayIcon& m_tray;
    TrayStatus m_status;
    bool m_balloonOnShow = false;
    bool m_failureInStatusLine = false;
    bool m_overdueInStatusLine = false;
};
