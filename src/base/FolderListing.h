#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// The names in a folder, listed with the system's own calls so that no name is lost: names that
// are not valid UTF-8 come back carrying their bytes (see NativePath.h). "." and ".." are left
// out; the rest is sorted by name ignoring case, so the same tree gives the same order on every
// file system. Returns false, with the system's error number in *error, when the folder cannot
// be read.
bool ListFolder(const QString& folder, QStringList& names, int* error = nullptr);

// Hidden names are those that start with a dot.
bool IsHiddenName(const QString& name);

#ifdef Q_OS_UNIX
// One name as the folder's listing gives it: its bytes, and the kind of file it names when the
// file system says (a DT_ value; DT_UNKNOWN when it does not).
struct ListedName
{
    QByteArray bytes;
    unsigned char type = 0;
};

// The names in the folder open on folderFd (which stays open), in ListFolder's order.
bool ListFolderAt(int folderFd, std::vector<ListedName>& names, int* error = nullptr);
#endif
