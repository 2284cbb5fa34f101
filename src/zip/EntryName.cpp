#include "zip/EntryName.h"

#include <QStringList>

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// True when the part, read with "\" as a separator, climbs or starts at a root (a drive counts
// only at the start of the name).
bool escapes(QStringView part, bool first)
{
    if (first && part.size() >= 2 && part[1] == u':' && isAsciiLetter(part[0]))
        return true;
    if (part.startsWith(u'\\'))
        return true;
    if (!part.contains(u'\\'))
        return false;
    for (const QStringView piece : part.tokenize(u'\\')) {
        if (piece == u"..")
            return true;
    }
    return false;
}

} // namespace

QString SafeEntryName(const QString& name)
{
    QStringList parts = name.split(u'/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QString& part = parts[i];
        if (escapes(part, i == 0)) {
            part.replace(u'\\', u'_');
            part.replace(u':', u'_');
        }
    }
    return parts.join(u'/');
}
