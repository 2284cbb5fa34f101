#pragma once

#include "zip/EntryRecord.h"
#include "zip/ZipExpand.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// One file whose recorded data may be copied only once its bytes were read and found unchanged.
struct ContentToCheck
{
    const ZipItem* item = nullptr;
    EntryRecord record;
};

// Reads each file whole, on `threads` threads, and compares its bytes with what the record says
// (size and CRC-32, the file looking as recorded before and after the read). For each file, the
// moment its read began when they match; nothing otherwise.
std::vector<std::optional<std::int64_t>> ReadAndCompare(const std::vector<ContentToCheck>& files, int threads,
                                                        const std::function<bool()>& cancelled);
