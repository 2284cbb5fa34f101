#include "base/ErrorTrap.h"

#include "base/AppError.h"
#include "base/Prompter.h"

QString ApplicationErrorText(const QString& description, const QString& module, const QString& routine, int line)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + module + u'.' + routine + u' '
        + QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + QLatin1String(SupportAddress);
}

void ShowApplicationError(const QString& description, const QString& module, const QString& routine, int line)
{
    Prompter::instance().show(ApplicationErrorText(description, module, routine, line),
                              QStringLiteral("Application Error"), Prompter::Buttons::Ok, Prompter::Icon::Warning);
}

void ErrorTrap::report(std::exception_ptr error) const noexcept
{
    QString description;
    try {
        std::rethrow_exception(error);
    } catch (const AppError& e) {
        description = e.description();
    } catch (const std::bad_alloc&) {
        description = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        description = QStringLiteral("Unknown error");
    }
    try {
        ShowApplicationError(description, m_module, m_routine, m_lastLine);
    } catch (...) {
        // Nothing sensible is left to tell the user; the handler goes on regardless.
    }
}
