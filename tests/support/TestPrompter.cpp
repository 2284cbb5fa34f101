#include "support/TestPrompter.h"

#include <QStringList>

TestPrompter::TestPrompter()
{
    Prompter::install(this);
}

TestPrompter::~TestPrompter()
{
    Prompter::install(nullptr);
}

Prompter::Answer TestPrompter::show(const QString& text, const QString& title, Buttons buttons, Icon icon)
{
    m_shown.append({ text, title, buttons, icon });
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

QStringList TestPrompter::texts() const
{
    QStringList texts;
    for (const Shown& box : m_shown)
        texts.append(box.text);
    return texts;
}
