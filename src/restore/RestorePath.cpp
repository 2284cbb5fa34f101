#include "restore/RestorePath.h"

#include "base/NativePath.h"
#include "zip/EntryName.h"

#include <QList>
#include <climits>

std::optional<QByteArray> SafeRelativePath(const QByteArray& name)
{
    if (name.contains('\0'))
        return std::nullopt;
    const QByteArray safe = NativePath(SafeEntryName(PathFromNative(name)));
    QByteArrayList parts;
    for (const QByteArray& part : safe.split('/')) {
        if (part == "..")
            return std::nullopt;
        if (!part.isEmpty() && part != ".")
            parts.append(part);
    }
    if (parts.isEmpty())
        return std::nullopt;
    return parts.join('/');
}

QByteArray KeptName(const QByteArray& fileName, const QDateTime& moment, int attempt)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    const qsizetype stemEnd = dot > 0 ? dot : fileName.size();
    QByteArray tag = " (before restore " + moment.toString(QStringLiteral("yyyy-MM-dd HH-mm")).toUtf8();
    if (attempt > 1)
        tag += ' ' + QByteArray::number(attempt);
    tag += ')';
    const QByteArray extension = fileName.mid(stemEnd);
    const qsizetype room = NAME_MAX - tag.size() - extension.size();
    return fileName.left(std::max<qsizetype>(1, std::min(stemEnd, room))) + tag + extension;
}

QByteArray LastPart(const QByteArray& relativePath)
{
    return relativePath.mid(relativePath.lastIndexOf('/') + 1);
}

QByteArray ParentPart(const QByteArray& relativePath)
{
    const qsizetype slash = relativePath.lastIndexOf('/');
    return slash < 0 ? QByteArray() : relativePath.left(slash);
}
