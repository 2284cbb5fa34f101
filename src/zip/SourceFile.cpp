#include "zip/SourceFile.h"

#include "base/FileStatus.h"
#include "base/NativePath.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

FileEvidence evidenceOf(const struct stat& st)
{
    return { static_cast<std::uint64_t>(st.st_size), NanosecondsOf(st.st_mtim), NanosecondsOf(st.st_ctim),
             static_cast<std::uint64_t>(st.st_ino) };
}

} // namespace

SourceFile OpenSourceFile(const ZipItem& item)
{
    SourceFile source;
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    source.readStartNs = NanosecondsOf(now);
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (item.isLink ? 0 : O_NOFOLLOW);
    int fd = -1;
    do {
        fd = ::open(NativePath(item.path).constData(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        source.reason = systemText(errno);
        source.vanished = errno == ENOENT || errno == ENOTDIR;
        source.warning = errno == ELOOP && !item.isLink
            ? QStringLiteral("skipped, not a regular file: %1").arg(item.path)
            : QStringLiteral("could not open for reading: %1: %2").arg(item.path, source.reason);
        return source;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        source.notAFile = true;
        source.warning = QStringLiteral("skipped, not a regular file: %1").arg(item.path);
        return source;
    }
    source.fd = fd;
    source.evidence = evidenceOf(st);
    source.device = static_cast<std::uint64_t>(st.st_dev);
    return source;
}

bool StillAsOpened(int fd, const FileEvidence& opened)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && evidenceOf(st) == opened;
}
