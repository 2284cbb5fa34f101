#include "restore/ShownText.h"

#include "base/NativePath.h"

#include <QDateTime>
#include <QLocale>

QString ShownName(const QByteArray& bytes)
{
    QString text = PathFromNative(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode()))
            ++i;
        else if (QChar::isLowSurrogate(c))
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

QString ShownSize(std::uint64_t bytes)
{
    return QLocale().formattedDataSize(static_cast<qint64>(bytes));
}

QString ShownTime(std::int64_t mtimeNs)
{
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(mtimeNs / 1'000'000), QLocale::ShortFormat);
}

QString ShownCount(qsizetype count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}
