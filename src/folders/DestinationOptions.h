#pragma once

#include <QObject>

class Form1;

// The backup folder, the archive name prefix and the two stamp options: every change of these
// controls is written to the settings store at once, typed, pasted, chosen or restored.
class DestinationOptions final : public QObject
{
    Q_OBJECT
public:
    explicit DestinationOptions(Form1& form);

private:
    Form1& m_form;
};
