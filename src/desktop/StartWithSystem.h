#pragma once

#include <QObject>
#include <functional>

class QCheckBox;

// "Load this software on Windows startup": registers the program to start with the user's session.
class StartWithSystem final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartWithSystem)
public:
    // "Start in system tray" is offered only while the program starts with the session; isStartingUp
    // tells whether the window is still restoring its state.
    StartWithSystem(QCheckBox* startWithSystemBox, QCheckBox* startInTrayBox, std::function<bool()> isStartingUp,
                    QObject* parent);

    // Checks the box from the store; during start-up its click does nothing.
    void restoreOption();

private:
    void storeStartWithSystem();

    QCheckBox* m_startWithSystemBox;
    QCheckBox* m_startInTrayBox;
    std::function<bool()> m_isStartingUp;
};
