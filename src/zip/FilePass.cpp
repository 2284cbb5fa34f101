#include "zip/FilePass.h"

#include "zip/DeflateWorker.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::size_t Block = 1u << 20;

// One thread's share: a run of the file that starts and ends outside every stretch.
struct Region
{
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::size_t firstStretch = 0;
    std::uint32_t crc = 0;
};

// The region boundaries: the file cut in even parts, each cut moved past the stretch it falls in.
std::vector<Region> regionsOf(std::uint64_t size, const std::vector<RecordedData>& stretches, int threads)
{
    std::vector<Region> regions;
    std::uint64_t begin = 0;
    std::size_t stretch = 0;
    for (int t = 1; t <= threads && begin < size; ++t) {
        std::uint64_t end = t == threads ? size : size / static_cast<std::uint64_t>(threads) * t;
        const std::size_t first = stretch;
        while (stretch < stretches.size() && stretches[stretch].offset < end) {
            end = std::max(end, stretches[stretch].offset + stretches[stretch].length);
            ++stretch;
        }
        end = std::min(std::max(end, begin), size);
        regions.push_back({ begin, end, first, 0 });
        begin = end;
    }
    return regions;
}

} // namespace

FilePassResult ReadWholeFile(int fd, std::uint64_t size, const std::vector<RecordedData>& stretches, int threads,
                             const std::function<bool()>& cancelled)
{
    std::vector<Region> regions = regionsOf(size, stretches, std::max(1, threads));
    std::atomic<bool> readable { true };
    std::mutex mutex;
    FilePassResult result;
    auto work = [&](Region& region) {
        std::vector<std::uint8_t> buffer(Block);
        Sha256 hash;
        std::size_t stretch = region.firstStretch;
        for (std::uint64_t at = region.begin; at < region.end && readable && !cancelled();) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(Block, region.end - at));
            const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                readable = false;
                return;
            }
            const auto n = static_cast<std::uint64_t>(got);
            region.crc = Crc32(region.crc, buffer.data(), static_cast<std::size_t>(n));
            // The parts of the stretches that lie in this block.
            for (; stretch < stretches.size() && stretches[stretch].offset < at + n; ++stretch) {
                const RecordedData& s = stretches[stretch];
                const std::uint64_t from = std::max(s.offset, at);
                const std::uint64_t to = std::min(s.offset + s.length, at + n);
                if (s.hash)
                    hash.add(buffer.data() + (from - at), static_cast<std::size_t>(to - from));
                if (to < s.offset + s.length)
                    break; // goes on in the next block
                if (s.hash && hash.finish() != *s.hash) {
                    std::lock_guard lock(mutex);
                    result.damaged.push_back(stretch);
                }
            }
            at += n;
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < regions.size(); ++i)
        workers.emplace_back(work, std::ref(regions[i]));
    if (!regions.empty())
        work(regions[0]);
    for (std::thread& worker : workers)
        worker.join();
    result.readable = readable && !cancelled();
    for (const Region& region : regions)
        result.crc = Crc32Combine(result.crc, region.crc, region.end - region.begin);
    std::sort(result.damaged.begin(), result.damaged.end());
    return result;
}
