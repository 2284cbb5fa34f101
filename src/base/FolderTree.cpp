#include "base/FolderTree.h"

#include "base/FolderListing.h"

#include <algorithm>
#include <optional>

bool FolderTree::addRoot(const QString& folder)
{
    const std::optional<FileStatus> status = StatusOf(folder);
    const QString canonical = CanonicalPath(folder);
    if (!status || !status->isDir || canonical.isEmpty() || !m_visited.insert(status->identity).second)
        return false;
    m_roots.append(canonical);
    return true;
}

bool FolderTree::enter(const QString& path, const FileStatus& status)
{
    if (!status.isDir)
        return false;
    if (!status.isLink)
        return m_visited.insert(status.identity).second;
    const QString canonical = CanonicalPath(path);
    if (canonical.isEmpty() || inside(canonical) || !m_visited.insert(status.identity).second)
        return false;
    m_roots.append(canonical);
    return true;
}

bool FolderTree::inside(const QString& canonical) const
{
    for (const QString& root : m_roots) {
        const QString prefix = root.endsWith(u'/') ? root : QString(root + u'/');
        if (canonical != root && !canonical.startsWith(prefix))
            continue;
        // A hidden folder is not walked where it is, so a link is the only way it gets stored.
        const QStringList parts = canonical.mid(prefix.size()).split(u'/', Qt::SkipEmptyParts);
        if (std::none_of(parts.begin(), parts.end(), IsHiddenName))
            return true;
    }
    return false;
}
