#include "zip/ContentCheck.h"

#include "zip/DeflateWorker.h"
#include "zip/SourceFile.h"

#include <atomic>
#include <cerrno>
#include <thread>
#include <unistd.h>

namespace {

std::optional<std::int64_t> readAndCompare(const ContentToCheck& file, std::vector<std::uint8_t>& buffer,
                                           const std::function<bool()>& cancelled)
{
    const SourceFile source = OpenSourceFile(*file.item);
    if (source.fd < 0)
        return std::nullopt;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    bool readable = source.evidence == file.record.evidence;
    while (readable && !cancelled()) {
        const ssize_t got = ::pread(source.fd, buffer.data(), buffer.size(), static_cast<off_t>(size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            readable = got == 0;
            break;
        }
        crc = Crc32(crc, buffer.data(), static_cast<std::size_t>(got));
        size += static_cast<std::uint64_t>(got);
    }
    const bool same = readable && !cancelled() && StillAsOpened(source.fd, source.evidence)
        && size == file.record.evidence.size && crc == file.record.crc;
    ::close(source.fd);
    return same ? std::optional(source.readStartNs) : std::nullopt;
}

} // namespace

std::vector<std::optional<std::int64_t>> ReadAndCompare(const std::vector<ContentToCheck>& files, int threads,
                                                        const std::function<bool()>& cancelled)
{
    std::vector<std::optional<std::int64_t>> matched(files.size());
    std::atomic<std::size_t> next { 0 };
    auto work = [&] {
        std::vector<std::uint8_t> buffer(1u << 20);
        for (std::size_t i = next++; i < files.size() && !cancelled(); i = next++)
            matched[i] = readAndCompare(files[i], buffer, cancelled);
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < std::min<int>(threads, static_cast<int>(files.size())); ++i)
        workers.emplace_back(work);
    work();
    for (std::thread& worker : workers)
        worker.join();
    return matched;
}
