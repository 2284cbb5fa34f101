#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The name that stands for a listed folder in the names of its archives, so that no two folders
// of one list ever write, reuse or prune the same archives. A folder whose last name no other
// folder of the list has, ignoring case (a backup disk may ignore case), is named by it, as the
// naming rule says. Folders whose names collide are told apart: "Docs (x)" after the folder they
// lie in, or, where that does not tell them apart, "Docs (3f9a0c1e)" after a digest of their path.
// The name depends only on the set of folders listed, not on their order, so it stays the same
// from run to run while the list holds the same folders. A folder listed twice is one folder.
// `folderPaths` are the list's entries as folder paths (FolderPathOf); `folderPath` is one of them.
QString ArchiveFolderName(const QStringList& folderPaths, const QString& folderPath, QChar separator);
