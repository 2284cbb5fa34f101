#include "backup/FolderWalk.h"

#include "backup/PathHelpers.h"
#include "base/EventYield.h"
#include "base/FolderListing.h"
#include "base/FolderTree.h"

#include <optional>
#include <utility>

#ifdef Q_OS_UNIX
#include "base/NativePath.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// The names of the folder that are not hidden and lead to folders, with what they lead to, in
// listing order. Only names the listing cannot tell from files cost a status call each.
std::vector<std::pair<QString, FileStatus>> foldersIn(const QString& folder)
{
    std::vector<std::pair<QString, FileStatus>> found;
#ifdef Q_OS_UNIX
    const int fd = ::open(NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<ListedName> names;
    if (fd >= 0 && ListFolderAt(fd, names)) {
        for (const ListedName& name : names) {
            const bool maybeFolder = name.type == DT_DIR || name.type == DT_LNK || name.type == DT_UNKNOWN;
            if (!maybeFolder || name.bytes.startsWith('.'))
                continue;
            const std::optional<FileStatus> status = StatusAt(fd, name.bytes.constData());
            if (status && status->isDir)
                found.emplace_back(PathFromNative(name.bytes), *status);
        }
    }
    if (fd >= 0)
        ::close(fd);
#else
    QStringList names;
    ListFolder(folder, names);
    for (const QString& name : std::as_const(names)) {
        if (IsHiddenName(name))
            continue;
        const std::optional<FileStatus> status = StatusOf(folder + name);
        if (status && status->isDir)
            found.emplace_back(name, *status);
    }
#endif
    return found;
}

class Walk
{
public:
    Walk(QStringList& result, bool recurse, const std::function<bool()>& cancelled)
        : m_result(result)
        , m_recurse(recurse)
        , m_cancelled(cancelled)
    { }

    void run(const QString& startPath)
    {
        m_tree.addRoot(startPath);
        walk(startPath);
    }

private:
    // Yields to window events, then tells whether the walk is to stop.
    bool yieldAndStop()
    {
        YieldToEvents();
        return m_cancelled && m_cancelled();
    }

    // False when the walk was cancelled.
    bool walk(const QString& startPath)
    {
        const QChar separator = PathSeparator();
        const std::vector<std::pair<QString, FileStatus>> folders = foldersIn(startPath);
        if (yieldAndStop())
            return false;
        QStringList level;
        for (const auto& [name, status] : folders) {
            const QString fullPath = startPath + name;
            if (yieldAndStop())
                return false;
            if (m_tree.enter(fullPath, status))
                level.append(CollapseBackslashes(fullPath + separator, separator));
        }
        if (m_recurse) {
            for (const QString& folder : std::as_const(level)) {
                if (!walk(folder))
                    return false;
            }
        }
        for (const QString& folder : std::as_const(level)) {
            if (yieldAndStop())
                return false;
            m_result.append(folder);
        }
        return true;
    }

    QStringList& m_result;
    bool m_recurse;
    const std::function<bool()>& m_cancelled;
    FolderTree m_tree;
};

} // namespace

void CollectSubFolders(const QString& startPath, QStringList& result, bool recurse,
                       const std::function<bool()>& cancelled)
{
    Walk(result, recurse, cancelled).run(startPath);
}
