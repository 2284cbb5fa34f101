#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>

// What TrayIcon needs from the desktop's notification area: calls go out, activations and balloon
// notices come back as signals. The real one sits on QSystemTrayIcon; tests drive a fake.
class TrayBackend : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A notification area exists right now, so an icon put there can be seen and clicked.
    virtual bool isSystemTrayAvailable() const = 0;
    virtual bool supportsMessages() const = 0;

    virtual void addIcon(const QIcon& icon, const QString& tip) = 0;
    virtual void removeIcon() = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setToolTip(const QString& tip) = 0;
    // Milliseconds 0 leaves the display time to the desktop.
    virtual void showMessage(const QString& title, const QString& text, int milliseconds) = 0;
    // Takes a shown balloon down.
    virtual void hideMessage() = 0;

    // The backend new TrayIcon controls get; tests put a fake in its place.
    using Factory = std::function<std::unique_ptr<TrayBackend>()>;
    static std::unique_ptr<TrayBackend> create();
    // An empty factory puts the desktop's own back.
    static void setFactory(Factory factory);

Q_SIGNALS:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void messageClicked();
    // The balloon went away by itself.
    void messageHidden();
    // The notification area appeared or went away (a panel restarted or crashed).
    void availabilityChanged();
};

// The desktop's own notification area, through QSystemTrayIcon.
class QtTrayBackend final : public TrayBackend
{
    Q_OBJECT
public:
    QtTrayBackend();

    bool isSystemTrayAvailable() const override;
    bool supportsMessages() const override;
    void addIcon(const QIcon& icon, const QString& tip) override;
    void removeIcon() override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& tip) override;
    void showMessage(const QString& title, const QString& text, int milliseconds) override;
    void hideMessage() override;

private:
    void showWhenPlaced(quint64 balloon, const QString& title, const QString& text, int shown, int attempt);
    void checkAvailability();

    QSystemTrayIcon m_icon;
    // The desktop says nothing when its notification area goes away: look once a second while the
    // icon is shown.
    QTimer m_availabilityCheck;
    bool m_available = false;
    // Counts balloons, so the end of an old balloon's display time does not end a newer one.
    quint64 m_balloon = 0;
};
