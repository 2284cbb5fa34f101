#include "zip/SourceFile.h"

#include "app/NativePath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Checks that the opened file can be read from its first byte.
QString firstByteProblem(const ZipItem& item, int fd)
{
    if (item.size <= 0)
        return {};
    char byte = 0;
    ssize_t n = 0;
    do {
        n = ::pread(fd, &byte, 1, 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? QStringLiteral("could not read: %1: %2").arg(item.path, systemText(errno)) : QString();
}

} // namespace

SourceFile OpenSourceFile(const ZipItem& item)
{
    SourceFile source;
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (item.isLink ? 0 : O_NOFOLLOW);
    int fd = -1;
    do {
        fd = ::open(NativePath(item.path).constData(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        source.warning = errno == ELOOP && !item.isLink
            ? QStringLiteral("skipped, not a regular file: %1").arg(item.path)
            : QStringLiteral("could not open for reading: %1: %2").arg(item.path, systemText(errno));
        return source;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        source.warning = QStringLiteral("skipped, not a regular file: %1").arg(item.path);
        return source;
    }
    source.fd = fd;
    return source;
}

HeldFiles::~HeldFiles()
{
    for (const int fd : m_descriptors) {
        if (fd >= 0)
            ::close(fd);
    }
}

std::vector<SourceFile> OpenSourceFiles(const std::vector<ZipItem>& items, const std::vector<int>& files, int threads,
                                        std::size_t hold, const std::function<bool()>& cancelled)
{
    std::vector<SourceFile> sources(files.size());
    std::atomic<std::size_t> next { 0 };
    auto work = [&] {
        for (std::size_t f = next++; f < files.size() && !cancelled(); f = next++) {
            const ZipItem& item = items[static_cast<std::size_t>(files[f])];
            SourceFile& source = sources[f];
            source = OpenSourceFile(item);
            if (source.fd < 0)
                continue;
            source.warning = firstByteProblem(item, source.fd);
            if (!source.warning.isEmpty() || f >= hold) {
                ::close(source.fd);
                source.fd = -1;
            }
        }
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < std::max(1, threads); ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return sources;
}

std::size_t SourceFilesToHold()
{
    // Raised once towards the hard limit: files held open cost the kernel little, and the
    // writer, its workers and the window need only a few descriptors besides.
    static const std::size_t hold = [] {
        rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return std::size_t(0);
        const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
        if (limit.rlim_cur < wanted) {
            rlimit raised = limit;
            raised.rlim_cur = wanted;
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
                limit = raised;
        }
        return limit.rlim_cur > 512 ? static_cast<std::size_t>((limit.rlim_cur - 512) / 2) : std::size_t(0);
    }();
    return hold;
}
