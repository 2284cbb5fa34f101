#pragma once

#include "desktop/TrayBackend.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <memory>

// The program's icon in the notification area: tip, icon, balloon notices, and the mouse actions
// on the icon as four events for the window that hosts it.
class TrayIcon final : public QObject
{
    Q_OBJECT
public:
    // Shell callback codes, as dispatchTrayMessage understands them.
    enum Code : quint32
    {
        MouseMoveCode = 0x200,
        LeftDown = 0x201,
        LeftUp = 0x202,
        LeftDoubleClick = 0x203,
        RightDown = 0x204,
        RightUp = 0x205,
        RightDoubleClick = 0x206,
        BalloonHide = 0x403,
        BalloonTimeout = 0x404,
        BalloonUserClick = 0x405,
    };
    static constexpr int TipLength = 127;
    static constexpr int BalloonTextLength = 255;
    static constexpr int BalloonTitleLength = 63;
    // The largest Timeout whose milliseconds fit in 32 bits.
    static constexpr qint32 LongestTimeout = 2147483;

    // Without a backend the control gets the one TrayBackend::create() makes.
    explicit TrayIcon(QObject* parent = nullptr, std::unique_ptr<TrayBackend> backend = {});
    ~TrayIcon() override;

    bool isInTray() const { return m_inTray; }
    void setInTray(bool inTray);
    QIcon icon() const { return m_icon; }
    // A null icon is ignored.
    void setIcon(const QIcon& icon);
    QString tip() const { return m_tip; }
    void setTip(const QString& tip);

    // Shows a balloon on the icon and returns when it was clicked away or Timeout seconds have
    // passed, window events flowing meanwhile; Timeout 0 or less returns at once and leaves the
    // display time to the desktop. A balloon still on show is gone when the next one shows. With
    // Once, only the first such balloon of this control shows.
    // A Timeout above LongestTimeout raises the "Overflow" AppError.
    void showBalloon(const QString& text, const QString& title, qint32 timeout, bool once);
    bool isBalloonVisible() const { return m_balloonVisible; }
    qint32 onceBalloonCount() const { return m_onceBalloonCount; }

    // The icon is in a notification area that exists, so the user can see and click it.
    bool isReachable() const;
    quint32 iconId() const { return 0; }

    // Turns one shell callback into the events below.
    void dispatchTrayMessage(quint32 code, quint32 id);

    TrayBackend& backend() const { return *m_backend; }

Q_SIGNALS:
    void mouseMoved(quint32 id);
    void mousePressed(qint16 button, quint32 id);
    void mouseReleased(qint16 button, quint32 id);
    void mouseDoubleClicked(qint16 button, quint32 id);
    // isBalloonVisible went from true to false.
    void balloonGone();
    // The user clicked the balloon on show; balloonGone follows.
    void balloonClicked();
    // The notification area holding the icon went away: the icon can no longer be seen or clicked.
    void iconLost();

private:
    std::unique_ptr<TrayBackend> m_backend;
    bool m_inTray = false;
    bool m_iconAdded = false;
    QIcon m_icon;
    QString m_tip = QStringLiteral("Telnet Server");
    bool m_balloonVisible = false;
    // Counts balloons, so a wait ends when a newer balloon takes the place of its own.
    quint64 m_balloonShown = 0;
    qint32 m_onceBalloonCount = 0;
};

// Cuts text to the given number of characters without splitting a surrogate pair.
QString CutTrayText(const QString& text, int length);
