#include "base/TextRoutines.h"

#include "base/AppError.h"

#include <cmath>

QString FormatDuration(long long seconds)
{
    const long long ofDay = std::llabs(seconds) % 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(ofDay / 3600, 2, 10, QLatin1Char('0'))
        .arg(ofDay / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(ofDay % 60, 2, 10, QLatin1Char('0'));
}

QString ShortTitle(const QString& displayName)
{
    QString title = displayName;
    do {
        const qsizetype blank = title.lastIndexOf(u' ');
        if (blank < 0)
            break;
        title.truncate(blank);
    } while (title.size() > 40);
    return title;
}

QString DropLastWord(const QString& text, const QString& word)
{
    const qsizetype blank = text.lastIndexOf(u' ');
    if (blank < 0)
        return text;
    if (word.isEmpty() || text.mid(blank).trimmed() == word)
        return text.left(blank + 1).trimmed();
    return text;
}

QString StripFileNameChars(const QString& text)
{
    static const QString unwanted = QStringLiteral("$/\\*:?<>|#' .,\"()-+=%;}{\t");
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!unwanted.contains(c))
            result.append(c);
    }
    return result;
}

int ToInteger16(const QString& text, const QString& source)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    double value = 0;
    if (trimmed.startsWith(QLatin1String("&H"), Qt::CaseInsensitive))
        value = static_cast<double>(trimmed.mid(2).toLongLong(&ok, 16));
    else
        value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw AppError::typeMismatch(source);
    // Halves go to the even neighbour, the one rounding rule for every number read from the settings.
    const double rounded = std::nearbyint(value);
    if (rounded < -32768 || rounded > 32767)
        throw AppError::overflow(source);
    return static_cast<int>(rounded);
}
