#include "folders/FoldersValue.h"

#include <algorithm>

QString EncodeFolders(const QStringList& entries)
{
    QString value;
    for (const QString& entry : entries)
        value += entry + u';';
    return value;
}

QStringList DecodeFolders(const QString& value)
{
    QStringList entries;
    for (const QString& piece : value.split(u';')) {
        const bool blank = std::all_of(piece.begin(), piece.end(), [](QChar c) { return c == u' '; });
        if (!blank)
            entries.append(piece);
    }
    return entries;
}
