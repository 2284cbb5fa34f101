#include "folders/DroppedPaths.h"

#include "base/NativePath.h"

#include <QDir>
#include <QUrl>

namespace {

std::optional<QString> localPath(const QByteArray& line)
{
    QUrl url = QUrl::fromEncoded(line);
    if (!url.isValid() || url.scheme() != QLatin1String("file"))
        return std::nullopt;
    if (!url.host().isEmpty() && url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (HasRawBytes(PathFromNative(bytes)))
        return std::nullopt;
    url.setHost(QString());
    const QString path = url.toLocalFile();
    if (!QDir::isAbsolutePath(path))
        return std::nullopt;
    return QDir::toNativeSeparators(path);
}

} // namespace

std::optional<QStringList> LocalPathsFromUriList(const QByteArray& uriList)
{
    QStringList paths;
    for (const QByteArray& rawLine : uriList.split('\n')) {
        // Lines end in CR LF; a line starting with "#" is a comment.
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const std::optional<QString> path = localPath(line);
        if (!path)
            return std::nullopt;
        paths.append(*path);
    }
    return paths;
}
