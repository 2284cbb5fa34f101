#include "base/AppError.h"

AppError::AppError(std::uint32_t number, QString source, QString description)
    : m_number(number)
    , m_source(std::move(source))
    , m_description(std::move(description))
    , m_what(m_description.toUtf8())
{ }

AppError AppError::typeMismatch(const QString& source)
{
    return { 13, source, QStringLiteral("Type mismatch") };
}

AppError AppError::overflow(const QString& source)
{
    return { 6, source, QStringLiteral("Overflow") };
}

AppError AppError::invalidProcedureCall(const QString& source)
{
    return { 5, source, QStringLiteral("Invalid procedure call or argument") };
}

AppError AppError::invalidPropertyValue(const QString& source)
{
    return { 380, source, QStringLiteral("Invalid property value") };
}

AppError AppError::indexOutOfBounds(const QString& source)
{
    return { 35600, source, QStringLiteral("Index out of bounds") };
}
