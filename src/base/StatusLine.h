#pragma once

#include <QString>

// The one line of text that tells the user what the program is doing.
class StatusLine
{
public:
    virtual ~StatusLine() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};
