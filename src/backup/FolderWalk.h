#pragma once

#include <QString>
#include <QStringList>

// Appends every sub-folder of the start folder to the result, each as a path ending in the
// separator. Each folder is listed completely before the walk descends into its sub-folders, and a
// folder's descendants are appended before the folder itself: for R holding A (with A1, holding X,
// and A2) and B the result receives X, A1, A2, A, B. Hidden folders and everything below them are
// never found; without recursion only the direct sub-folders are appended. Every error just yields
// fewer entries. A folder reached a second time (a link back up the tree, or a second link to the
// same folder) is neither listed nor entered again, so the walk always ends.
void CollectSubFolders(const QString& startPath, QStringList& result, bool recurse);
