#include "base/Prompter.h"

#include <QDebug>

namespace {

// Used when no window exists yet: the message goes to the log and the answer is the safe one.
class LoggingPrompter final : public Prompter
{
public:
    Answer show(const QString& text, const QString& title, Buttons buttons, Icon) override
    {
        qWarning().noquote() << title << ':' << text;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
};

LoggingPrompter g_loggingPrompter;
Prompter* g_prompter = &g_loggingPrompter;
QString g_applicationTitle = QStringLiteral("Tessaly");

} // namespace

Prompter& Prompter::instance()
{
    return *g_prompter;
}

void Prompter::install(Prompter* prompter)
{
    g_prompter = prompter ? prompter : &g_loggingPrompter;
}

QString ApplicationTitle()
{
    return g_applicationTitle;
}

void SetApplicationTitle(const QString& title)
{
    g_applicationTitle = title;
}
