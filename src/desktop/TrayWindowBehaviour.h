#pragma once

#include <QObject>

class Form1;

// The main window's behaviour around its tray icon: the "Start in system tray" option.
class TrayWindowBehaviour final : public QObject
{
    Q_OBJECT
public:
    explicit TrayWindowBehaviour(Form1& form);

    // Checks "Start in system tray" from the store and, when checked, minimises the window before
    // it is first shown.
    void applyStartInTray();
    // The window was minimised, restored or maximised.
    void windowStateChanged();

private:
    Form1& m_form;
};
