#pragma once

#include <QString>

// Every message box of the program goes through the installed prompter, so tests can answer
// and read them instead of a person.
class Prompter
{
public:
    enum class Buttons
    {
        Ok,
        YesNo
    };
    enum class Icon
    {
        None,
        Information,
        Warning,
        Question
    };
    enum class Answer
    {
        Ok,
        Yes,
        No
    };

    virtual ~Prompter() = default;
    virtual Answer show(const QString& text, const QString& title, Buttons buttons, Icon icon) = 0;

    static Prompter& instance();
    // Does not take ownership; nullptr puts back the prompter that answers nothing.
    static void install(Prompter* prompter);
};

// The title of every message box that names none of its own, set once at start-up.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
