#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

// The program's icon in the notification area.
class cSysTray final : public QObject
{
    Q_OBJECT
public:
    explicit cSysTray(QObject* parent = nullptr);
    ~cSysTray() override;

    bool InTray() const { return m_inTray; }
    void setInTray(bool inTray);
    QIcon TrayIcon() const { return m_icon; }
    void setTrayIcon(const QIcon& icon);
    QString TrayTip() const { return m_tip; }
    void setTrayTip(const QString& tip);

private:
    QSystemTrayIcon* m_tray = nullptr;
    bool m_inTray = false;
    QIcon m_icon;
    QString m_tip = QStringLiteral("Telnet Server");
};
