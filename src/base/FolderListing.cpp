#include "base/FolderListing.h"

#include "base/NativePath.h"

#include <QDir>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

namespace {

bool byNameIgnoringCase(const QString& a, const QString& b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

} // namespace

bool ListFolder(const QString& folder, QStringList& names, int* error)
{
    names.clear();
#ifdef Q_OS_UNIX
    DIR* dir = ::opendir(NativePath(folder).constData());
    if (!dir) {
        if (error)
            *error = errno;
        return false;
    }
    int readError = 0;
    for (;;) {
        errno = 0; // readdir tells the end from a failure only through errno
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            readError = errno;
            break;
        }
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(PathFromNative(name));
    }
    ::closedir(dir);
    if (readError != 0) {
        if (error)
            *error = readError;
        return false;
    }
#else
    // Names on this system are already text: Qt's listing loses none.
    const QDir dir(folder);
    if (!dir.exists()) {
        if (error)
            *error = ENOENT;
        return false;
    }
    names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
#endif
    std::sort(names.begin(), names.end(), byNameIgnoringCase);
    return true;
}

bool IsHiddenName(const QString& name)
{
    return name.startsWith(u'.');
}
