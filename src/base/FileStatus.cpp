#include "base/FileStatus.h"

#include "base/NativePath.h"

#include <QDateTime>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

qint64 NanosecondsOf(const timespec& time)
{
    constexpr qint64 perSecond = 1'000'000'000;
    constexpr qint64 largest = std::numeric_limits<qint64>::max() / perSecond - 1;
    if (time.tv_sec > largest)
        return std::numeric_limits<qint64>::max();
    if (time.tv_sec < -largest)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(time.tv_sec) * perSecond + time.tv_nsec;
}

#ifdef Q_OS_UNIX
std::optional<FileStatus> StatusAt(int folderFd, const char* name, int* error)
{
    FileStatus status;
    struct stat info;
    // One call for everything but links.
    bool found = ::fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0;
    if (found && S_ISLNK(info.st_mode)) {
        status.isLink = true;
        found = ::fstatat(folderFd, name, &info, 0) == 0;
    }
    if (!found) {
        if (error)
            *error = errno;
        return std::nullopt;
    }
    status.isDir = S_ISDIR(info.st_mode);
    status.isFile = S_ISREG(info.st_mode);
    status.size = static_cast<qint64>(info.st_size);
    status.mtime = static_cast<qint64>(info.st_mtime);
    status.mtimeNs = NanosecondsOf(info.st_mtim);
    status.ctimeNs = NanosecondsOf(info.st_ctim);
    status.mode = static_cast<quint32>(info.st_mode);
    status.identity = FileIdentity { static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino), {} };
    return status;
}
#endif

std::optional<FileStatus> StatusOf(const QString& path, int* error)
{
#ifdef Q_OS_UNIX
    return StatusAt(AT_FDCWD, NativePath(path).constData(), error);
#else
    FileStatus status;
    const QFileInfo info(path);
    if (!info.exists()) {
        if (error)
            *error = ENOENT;
        return std::nullopt;
    }
    status.isLink = info.isSymLink() || info.isJunction();
    status.isDir = info.isDir();
    status.isFile = info.isFile();
    status.size = info.size();
    status.mtime = info.lastModified().toSecsSinceEpoch();
    status.mode = status.isDir ? 040755u : status.isFile ? 0100644u : 0u;
    status.identity.canonical = info.canonicalFilePath().toCaseFolded();
    return status;
#endif
}

std::optional<FileIdentity> IdentityOf(const QString& path)
{
    const std::optional<FileStatus> status = StatusOf(path);
    return status ? std::optional(status->identity) : std::nullopt;
}

QString CanonicalPath(const QString& path)
{
#ifdef Q_OS_UNIX
    char* resolved = ::realpath(NativePath(path).constData(), nullptr);
    if (!resolved)
        return {};
    const QString canonical = PathFromNative(QByteArray(resolved));
    std::free(resolved);
    return canonical;
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}
