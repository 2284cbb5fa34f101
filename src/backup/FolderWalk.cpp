#include "backup/FolderWalk.h"

#include "backup/PathHelpers.h"
#include "base/EventYield.h"
#include "base/FolderListing.h"
#include "base/FolderTree.h"

#include <optional>
#include <utility>

namespace {

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
        QStringList names;
        ListFolder(startPath, names);
        if (yieldAndStop())
            return false;
        QStringList level;
        for (const QString& name : std::as_const(names)) {
            if (IsHiddenName(name))
                continue;
            const QString fullPath = startPath + name;
            const std::optional<FileStatus> status = StatusOf(fullPath);
            if (!status || !status->isDir)
                continue;
            if (yieldAndStop())
                return false;
            if (m_tree.enter(fullPath, *status))
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
