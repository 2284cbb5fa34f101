#pragma once

#include "base/FileStatus.h"

#include <QString>
#include <QStringList>
#include <set>

// Decides which folders a walk enters, so that every folder's contents are stored once, under the
// folder's real place in the tree:
// - a link to a folder inside the tree (below a folder the walk starts from, and not hidden: hidden
//   folders are left out) is not followed: the folder is walked where it really is, and the
//   link itself is not stored;
// - a link to a folder outside the tree is followed, and that folder joins the tree, so a second
//   link to it or into it is not followed (among folders outside, the first link reached wins);
// - no folder is entered twice, whatever leads to it, so the walk always ends.
class FolderTree final
{
public:
    // Takes a folder the walk starts from, with everything below it, into the tree. False when it
    // is not a folder or was entered already.
    bool addRoot(const QString& folder);
    // True when the walk enters the sub-folder found at the path, with the status its parent's
    // listing gave.
    bool enter(const QString& path, const FileStatus& status);

private:
    bool inside(const QString& canonical) const;

    QStringList m_roots; // canonical paths
    std::set<FileIdentity> m_visited;
};
