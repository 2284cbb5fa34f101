#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QCheckBox;
class QPushButton;
class QWidget;
class TrayIcon;

// The main window's behaviour around its tray icon: the first minimise hides it into the tray with
// a balloon, a left click on the icon brings it back, "Start in system tray" starts it that way.
// Also the window's "Help" button.
class TrayWindowBehaviour final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayWindowBehaviour)
public:
    // isClosed tells whether the window was closed, which ends the program.
    TrayWindowBehaviour(QWidget& window, TrayIcon& tray, QCheckBox* startInTrayBox, QPushButton* helpButton,
                        std::function<bool()> isClosed);

    // Checks "Start in system tray" from the store; when checked, the window goes to the tray as it
    // is first shown (minimised where there is no tray).
    void applyStartInTray();
    // The window was minimised, restored or maximised.
    void windowStateChanged();
    // Shows the window in normal state, from the tray, minimised, or before it was first shown.
    void showNormalWindow();

    // Set by the first minimise into the tray; never cleared while the program runs.
    bool minimizedToTrayOnce() const { return m_minimizedToTrayOnce; }

    static QString balloonTitle();
    static QString balloonText();
    static QString helpText();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void toTray();
    void onTrayMouseReleased(qint16 button, quint32 id);
    void trayLost();
    void storeStartInTray();
    void showHelp();

    QWidget& m_window;
    TrayIcon& m_tray;
    QCheckBox* m_startInTrayBox;
    std::function<bool()> m_isClosed;
    bool m_minimizedToTrayOnce = false;
    // "Start in system tray": the window goes to the tray as it is first shown.
    bool m_toTrayWhenShown = false;
};
