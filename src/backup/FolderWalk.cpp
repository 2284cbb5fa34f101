#include "backup/FolderWalk.h"

#include "app/EventYield.h"
#include "backup/PathHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>
#include <set>
#include <utility>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// What makes a folder the same folder, whatever path leads to it.
#ifdef Q_OS_UNIX
using FolderKey = std::pair<quint64, quint64>;

std::optional<FolderKey> folderKey(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return FolderKey { static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino) };
}
#else
using FolderKey = QString;

std::optional<FolderKey> folderKey(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return std::nullopt;
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty())
        return std::nullopt;
    return canonical.toCaseFolded();
}
#endif

void walk(const QString& startPath, QStringList& result, bool recurse, std::set<FolderKey>& visited)
{
    const QChar separator = PathSeparator();
    QStringList level;
    // Hidden (and on Windows system) folders are left out of the listing itself. Sorted by name, so
    // archives list their folders in the same order on every file system.
    const QFileInfoList entries
        = QDir(startPath).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    YieldToEvents();
    for (const QFileInfo& entry : entries) {
        YieldToEvents();
        const QString fullPath = startPath + entry.fileName();
        const std::optional<FolderKey> key = folderKey(fullPath);
        if (!key || !visited.insert(*key).second)
            continue;
        level.append(CollapseBackslashes(fullPath + separator, separator));
    }
    if (recurse) {
        for (const QString& folder : std::as_const(level))
            walk(folder, result, true, visited);
    }
    for (const QString& folder : std::as_const(level)) {
        YieldToEvents();
        result.append(folder);
    }
}

} // namespace

void CollectSubFolders(const QString& startPath, QStringList& result, bool recurse)
{
    std::set<FolderKey> visited;
    if (const std::optional<FolderKey> start = folderKey(startPath))
        visited.insert(*start);
    walk(startPath, result, recurse, visited);
}
