#pragma once

#include <QString>
#include <cstdint>
#include <exception>

// An error raised to a caller with a number, a source and a description. Handlers that run under an
// ErrorTrap report it in the "Application Error" box and carry on.
class AppError final : public std::exception
{
public:
    AppError(std::uint32_t number, QString source, QString description);

    std::uint32_t number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

    // Runtime failures with fixed wording: the error box shows it to users word for word.
    static AppError typeMismatch(const QString& source);
    static AppError overflow(const QString& source);
    static AppError invalidProcedureCall(const QString& source);
    static AppError invalidPropertyValue(const QString& source);
    static AppError indexOutOfBounds(const QString& source);

private:
    std::uint32_t m_number;
    QString m_source;
    QString m_description;
    QByteArray m_what;
};
