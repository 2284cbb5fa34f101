#pragma once

#include <QByteArray>
#include <cstdint>
#include <functional>
#include <vector>

// One entry of an archive's central directory, with the ZIP64 figures already applied.
struct CentralEntry
{
    QByteArray name; // the stored bytes
    QByteArray extra; // the central directory's extra fields
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t dosTime = 0; // date in the high half, time in the low
    std::uint32_t externalAttributes = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint64_t localHeaderOffset = 0;
};

struct CentralDirectory
{
    std::vector<CentralEntry> entries;
    std::uint64_t start = 0; // where the directory begins: every entry's data ends before it
    std::uint64_t count = 0; // entries its end record claims
};

// Reads the central directory of the single-disk archive open on fd. Returns false, with nothing
// to trust, when the end records, the directory or any of its entries do not hold together.
bool ReadCentralDirectory(int fd, CentralDirectory& directory);
// The same, an entry at a time: start and count are set before the first entry is handed on, and
// entries stay empty, so a directory of any size is read in little memory. False as soon as the
// sink returns false.
bool ReadCentralEntries(int fd, CentralDirectory& frame, const std::function<bool(CentralEntry&& entry)>& sink);

// Where the data of an entry begins, after its local header (whose bytes are returned too), which
// must carry the same name and method as the central directory; false when the header is not
// there or the data would run into the directory.
bool LocateEntryData(int fd, const CentralDirectory& directory, const CentralEntry& entry, std::uint64_t& dataOffset,
                     QByteArray& localHeader);

// The data of the extra field with this ID, or nothing.
QByteArray FindExtraField(const QByteArray& extra, std::uint16_t id);
