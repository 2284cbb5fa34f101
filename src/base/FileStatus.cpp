#include "base/FileStatus.h"

#include "base/NativePath.h"

#include <QDateTime>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <limits>

#ifdef Q_OS_UNIX
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

std::optional<FileStatus> StatusOf(const QString& path, int* error)
{
    FileStatus status;
#ifdef Q_OS_UNIX
    const QByteArray native = NativePath(path);
    struct stat info;
    // One call for everything but links.
    bool found = ::lstat(native.constData(), &info) == 0;
    if (found && S_ISLNK(info.st_mode)) {
        status.isLink = true;
        found = ::stat(native.constData(), &info) == 0;
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
#else
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
#endif
    return status;
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
