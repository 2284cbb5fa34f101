#pragma once

#include <QString>
#include <QStringList>

// The names in a folder, listed with the system's own calls so that no name is lost: names that
// are not valid UTF-8 come back carrying their bytes (see NativePath.h). "." and ".." are left
// out; the rest is sorted by name ignoring case, so the same tree gives the same order on every
// file system. Returns false, with the system's error number in *error, when the folder cannot
// be read.
bool ListFolder(const QString& folder, QStringList& names, int* error = nullptr);

// Hidden names are those that start with a dot.
bool IsHiddenName(const QString& name);
