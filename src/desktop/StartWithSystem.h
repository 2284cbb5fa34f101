#pragma once

#include <QObject>

class Form1;

// "Load this software on Windows startup": registers the program to start with the user's session.
class StartWithSystem final : public QObject
{
    Q_OBJECT
public:
    explicit StartWithSystem(Form1& form);

    // Checks the box from the store; during start-up its click does nothing.
    void restoreOption();

private:
    void Check4_Click();

    Form1& m_form;
};
