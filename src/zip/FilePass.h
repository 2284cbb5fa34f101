#pragma once

#include "zip/Digest.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// A stretch of an archive's file holding data copied from an earlier archive, and the SHA-256 its
// record says those bytes have (nothing when they need no proof beyond the whole file's CRC).
struct RecordedData
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::optional<Sha256::Digest> hash;
};

struct FilePassResult
{
    bool readable = false; // every byte could be read
    std::uint32_t crc = 0; // of the whole file
    std::vector<std::size_t> damaged; // the stretches whose bytes are not what their record says
};

// Reads a whole file once, on `threads` threads, summing all of it with CRC-32 and each recorded
// stretch that has a hash (sorted by offset, not overlapping) with SHA-256. Stops early when
// cancelled.
FilePassResult ReadWholeFile(int fd, std::uint64_t size, const std::vector<RecordedData>& stretches, int threads,
                             const std::function<bool()>& cancelled);
