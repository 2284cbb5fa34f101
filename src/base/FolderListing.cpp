#include "base/FolderListing.h"

#include "base/NativePath.h"

#include <QDir>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

bool byNameIgnoringCase(const QString& a, const QString& b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

#ifdef Q_OS_UNIX
bool isAscii(const QByteArray& bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The order of byNameIgnoringCase on the names' text. For two ASCII names that is the order of
// their bytes with capitals folded, then of their bytes as they are, without making the text.
bool byBytesIgnoringCase(const QByteArray& a, const QByteArray& b)
{
    if (!isAscii(a) || !isAscii(b))
        return byNameIgnoringCase(PathFromNative(a), PathFromNative(b));
    const bool folded = std::lexicographical_compare(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                                                     [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
    if (folded)
        return true;
    const bool foldedAfter = std::lexicographical_compare(b.cbegin(), b.cend(), a.cbegin(), a.cend(),
                                                          [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
    return !foldedAfter && a < b;
}
#endif

} // namespace

#ifdef Q_OS_UNIX
bool ListFolderAt(int folderFd, std::vector<ListedName>& names, int* error)
{
    names.clear();
    // The listing gets a descriptor of its own, which closedir() takes with it; it shares the
    // folder's read position, so the listing starts from the beginning.
    const int fd = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (dir)
        ::rewinddir(dir);
    if (!dir) {
        if (error)
            *error = errno;
        if (fd >= 0)
            ::close(fd);
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
            names.push_back({ name, entry->d_type });
    }
    ::closedir(dir);
    if (readError != 0) {
        if (error)
            *error = readError;
        return false;
    }
    std::sort(names.begin(), names.end(),
              [](const ListedName& a, const ListedName& b) { return byBytesIgnoringCase(a.bytes, b.bytes); });
    return true;
}
#endif

bool ListFolder(const QString& folder, QStringList& names, int* error)
{
    names.clear();
#ifdef Q_OS_UNIX
    const int fd = ::open(NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<ListedName> listed;
    const bool listedAll = fd >= 0 && ListFolderAt(fd, listed, error);
    if (fd < 0 && error)
        *error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!listedAll)
        return false;
    names.reserve(static_cast<qsizetype>(listed.size()));
    for (const ListedName& name : listed)
        names.append(PathFromNative(name.bytes));
#else
    // Names on this system are already text: Qt's listing loses none.
    const QDir dir(folder);
    if (!dir.exists()) {
        if (error)
            *error = ENOENT;
        return false;
    }
    names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    std::sort(names.begin(), names.end(), byNameIgnoringCase);
#endif
    return true;
}

bool IsHiddenName(const QString& name)
{
    return name.startsWith(u'.');
}
