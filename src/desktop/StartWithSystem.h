#pragma once

#include <QObject>

class MainWindow;

// "Load this software on Windows startup": registers the program to start with the user's session.
class StartWithSystem final : public QObject
{
    Q_OBJECT
public:
    explicit StartWithSystem(MainWindow& form);

    // Checks the box from the store; during start-up its click does nothing.
    void restoreOption();

private:
    void storeStartWithSystem();

    MainWindow& m_form;
};
