#include "backup/PathHelpers.h"

#include <QDir>

namespace {

QString collapsePairs(QStringView text, QChar separator)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator)
            ++i;
    }
    return result;
}

} // namespace

QChar PathSeparator()
{
    return QDir::separator();
}

QString CollapseBackslashes(const QString& path, QChar separator)
{
    if (path.isEmpty())
        return path;
    if (path.front() != separator)
        return collapsePairs(path, separator);
    qsizetype rest = 0;
    while (rest < path.size() && path[rest] == separator)
        ++rest;
    const QString lead = separator == u'\\' ? QStringLiteral("\\\\") : QString(separator);
    return lead + collapsePairs(QStringView(path).mid(rest), separator);
}

QString CollapseBackslashes(const QString& path)
{
    return CollapseBackslashes(path, PathSeparator());
}

QString LastPathPart(const QString& path, QChar separator)
{
    return path.mid(path.lastIndexOf(separator) + 1);
}

QString LastPathPart(const QString& path)
{
    return LastPathPart(path, PathSeparator());
}
