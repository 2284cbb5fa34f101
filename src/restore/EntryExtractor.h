#pragma once

#include "zip/ZipDirectory.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

struct libdeflate_decompressor;

// Where one entry's data lies in its archive, and what it must come to.
struct EntryData
{
    int archive = -1;
    std::uint64_t offset = 0; // of the compressed data, after the local header
    CentralEntry entry;
};

// Why an entry's data was not written in full.
struct DataProblem
{
    enum class Kind
    {
        Damaged, // the archive's data is not what its directory says
        Unreadable, // the archive cannot be read
        WriteFailed,
        Cancelled
    };
    Kind kind;
    QString text;
};

// The reason this program cannot read the entry's data (an encrypted entry, a compression method
// other than deflate and none), or nothing.
std::optional<QString> UnsupportedBecause(const CentralEntry& entry);

// Writes entries' data into files, checking every byte against the CRC and size the directory
// gives; one per thread, its buffers kept from entry to entry. Small entries are inflated in one
// call, larger ones a stretch at a time, so memory stays flat whatever their size.
class EntryExtractor final
{
public:
    EntryExtractor();
    ~EntryExtractor();
    EntryExtractor(const EntryExtractor&) = delete;
    EntryExtractor& operator=(const EntryExtractor&) = delete;

    // Writes the data to `out`, adding the bytes written to `written` as it goes. Nothing when the
    // data came out whole, with the directory's CRC and size; a size the archive lies about is
    // caught before more than one stretch beyond it is written.
    std::optional<DataProblem> extract(const EntryData& data, int out, std::atomic<std::uint64_t>& written,
                                       const std::atomic<bool>& cancelled);

private:
    std::optional<DataProblem> copyStored(const EntryData& data, int out, std::atomic<std::uint64_t>& written,
                                          const std::atomic<bool>& cancelled);
    std::optional<DataProblem> inflateWhole(const EntryData& data, int out, std::atomic<std::uint64_t>& written);
    std::optional<DataProblem> inflateStream(const EntryData& data, int out, std::atomic<std::uint64_t>& written,
                                             const std::atomic<bool>& cancelled);
    std::uint8_t* room(std::vector<std::uint8_t>& buffer, std::size_t size);

    libdeflate_decompressor* m_inflater = nullptr;
    std::vector<std::uint8_t> m_in;
    std::vector<std::uint8_t> m_out;
    std::uint32_t m_crc = 0;
};
