#pragma once

#include <cstdint>

// What a file looked like at one moment: enough to tell, later, that it has not changed since
// (see ZipReuse.h for the rule).
struct FileEvidence
{
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0; // modification time, nanoseconds since the epoch
    std::int64_t ctimeNs = 0; // change time, likewise
    std::uint64_t inode = 0;
    bool operator==(const FileEvidence&) const = default;
};
