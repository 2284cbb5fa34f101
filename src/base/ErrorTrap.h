#pragma once

#include "base/RoutineNames.h"

#include <QString>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

// Runs the numbered lines of one handler. An unexpected failure in a line shows the
// "Application Error" box naming the routine and the line, and the handler carries on with its
// next line: it neither stops nor retries.
class ErrorTrap
{
public:
    explicit ErrorTrap(QString routine, QString module = Routine::ProgramModule)
        : m_routine(std::move(routine))
        , m_module(std::move(module))
    { }

    // Runs one line; returns false when it failed (after the box was closed).
    template<class Line> bool line(int number, Line&& body) noexcept
    {
        m_lastLine = number;
        try {
            std::forward<Line>(body)();
            return true;
        } catch (...) {
            report(std::current_exception());
            return false;
        }
    }

    // Runs one line that gives back a value: the value, or nothing when the line failed (after the
    // box was closed).
    template<class Line> auto value(int number, Line&& body) noexcept -> std::optional<std::invoke_result_t<Line>>
    {
        m_lastLine = number;
        try {
            return std::forward<Line>(body)();
        } catch (...) {
            report(std::current_exception());
            return std::nullopt;
        }
    }

    int lastLine() const { return m_lastLine; }

private:
    void report(std::exception_ptr error) const noexcept;

    QString m_routine;
    QString m_module;
    int m_lastLine = 0;
};

// The text of the "Application Error" box, exactly as users see it.
QString ApplicationErrorText(const QString& description, const QString& module, const QString& routine, int line);
// Shows the box through the installed prompter.
void ShowApplicationError(const QString& description, const QString& module, const QString& routine, int line);

inline constexpr auto SupportAddress = "support@quarnell.example";
