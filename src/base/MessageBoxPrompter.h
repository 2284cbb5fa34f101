#pragma once

#include "base/Prompter.h"

#include <QPointer>
#include <QWidget>

// Shows the program's messages as modal message boxes over the active window of the program, else
// over the main window.
class MessageBoxPrompter final : public Prompter
{
public:
    void setOwner(QWidget* owner) { m_owner = owner; }
    Answer show(const QString& text, const QString& title, Buttons buttons, Icon icon) override;

private:
    QPointer<QWidget> m_owner;
};
