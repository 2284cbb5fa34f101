#pragma once

#include <QIcon>
#include <QString>

class TrayIcon;

// The tray icon's look and tip from what there is to tell: under the program's name a failed run
// and the oldest backup, each on a line of its own, and the warning mark while a run failed or
// backups are overdue. The icon and tip the tray has at the first change are its ordinary ones.
class TrayStatus final
{
    Q_DISABLE_COPY_MOVE(TrayStatus)
public:
    explicit TrayStatus(TrayIcon& tray)
        : m_tray(tray)
    { }

    // An empty line tells nothing.
    void setFailure(const QString& line);
    void setAge(const QString& line);
    void setOverdue(bool overdue);
    bool isMarked() const { return m_marked; }

private:
    void show();

    TrayIcon& m_tray;
    bool m_known = false;
    QIcon m_ordinaryIcon;
    QString m_name;
    QString m_failure;
    QString m_age;
    bool m_overdue = false;
    bool m_marked = false;
};
