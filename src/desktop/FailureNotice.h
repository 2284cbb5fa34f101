#pragma once

#include "backup/RunOutcome.h"

#include <QIcon>
#include <QObject>
#include <QString>

class QWidget;
class TrayIcon;

// Tells the user about a timed run that left folders not backed up, which would otherwise go only
// to the history log: a balloon on the tray icon (a click opens the log), and a warning mark on the
// icon and a tip that says when, until the window is next shown. Without a notification area the
// status line carries the notice until the next run has ended. A fully successful run, timed or
// manual, ends the notice; a manual run's failures have their own boxes.
class FailureNotice final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FailureNotice)
public:
    FailureNotice(QWidget& window, TrayIcon& tray);

    void runEnded(const RunOutcome& outcome, bool timed);
    // The countdown leaves the status line alone while it carries the notice.
    bool holdsStatusLine() const { return m_holdsStatusLine; }

    // The balloon's text: how many folders failed, the first of them, where the details are.
    static QString balloonText(const RunOutcome& outcome);
    // The same on one line, without the click.
    static QString statusText(const RunOutcome& outcome);

Q_SIGNALS:
    // The balloon of a failed run was clicked: the user wants the history log.
    void logWanted();
    // Without a notification area the notice goes to the window's status line.
    void statusLineWanted(const QString& caption);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void markIcon();
    void unmarkIcon();

    QWidget& m_window;
    TrayIcon& m_tray;
    bool m_marked = false;
    QIcon m_ordinaryIcon;
    QString m_ordinaryTip;
    bool m_balloonOnShow = false;
    bool m_holdsStatusLine = false;
};
