#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Appends every sub-folder of the start folder to the result, each as a path ending in the
// separator. Each folder is listed completely before the walk descends into its sub-folders, and a
// folder's descendants are appended before the folder itself: for R holding A (with A1, holding X,
// and A2) and B the result receives X, A1, A2, A, B. Names that are not UTF-8 are kept (see
// NativePath.h). Hidden folders and everything below them are never found; without recursion only
// the direct sub-folders are appended. Every error just yields fewer entries. Links follow the
// rules of FolderTree: a folder is found at its real place, a link to a folder outside the tree
// is followed once, and the walk always ends. The walk lets window events through as it goes and
// stops at once, leaving the result incomplete, when `cancelled` returns true.
void CollectSubFolders(const QString& startPath, QStringList& result, bool recurse,
                       const std::function<bool()>& cancelled = {});
