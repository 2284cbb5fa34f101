#pragma once

#include "base/Prompter.h"

#include <QList>
#include <QQueue>

// Answers message boxes for tests and records what was shown. Installs itself while it lives.
class TestPrompter final : public Prompter
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Buttons buttons;
        Icon icon;
    };

    TestPrompter();
    ~TestPrompter() override;

    void setNextAnswer(Answer answer) { m_answers.enqueue(answer); }
    Answer show(const QString& text, const QString& title, Buttons buttons, Icon icon) override;

    const QList<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }

private:
    QQueue<Answer> m_answers;
    QList<Shown> m_shown;
};
