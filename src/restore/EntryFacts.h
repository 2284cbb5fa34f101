#pragma once

#include "zip/ZipDirectory.h"

#include <cstdint>
#include <optional>

// What an archive entry stands for, as its central-directory record says.
struct EntryFacts
{
    enum class Kind
    {
        File,
        Folder,
        Link, // never written: restoring one could lead later writes anywhere
        Special // a device, FIFO or socket: not a file a backup holds
    };
    Kind kind = Kind::File;
    // Modification time in nanoseconds since the epoch, to the second or two the ZIP fields keep
    // (the restore takes the exact time from this program's record where the user's key vouches
    // for it).
    std::int64_t mtimeNs = 0;
    // Read, write and execute bits for owner, group and others; nothing when the archive was made
    // where files have no such bits.
    std::optional<std::uint32_t> permissions;
};

EntryFacts FactsOf(const CentralEntry& entry);
