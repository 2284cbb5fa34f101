#include "folders/FoldersValue.h"

#include <algorithm>

QString FoldersValue(const QStringList& entries)
{
    QString value;
    for (const QString& entry : entries)
        value += entry + u';';
    return value;
}

QStringList FoldersFromValue(const QString& value)
{
    QStringList entries;
    for (const QString& piece : value.split(u';')) {
        const bool blank = std::all_of(piece.begin(), piece.end(), [](QChar c) { return c == u' '; });
        if (!blank)
            entries.append(piece);
    }
    return entries;
}
